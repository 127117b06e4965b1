// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/sound/beat_for_tests.h"

#include <algorithm>

namespace trovik::testing {

Beat::Beat(int intervalMs) {
    snapshot_.cellsOn = 0;
    snapshot_.interval = static_cast<std::int16_t>(intervalMs);
}

Beat& Beat::on(Track track, int step) {
    snapshot_.cellsOn |= std::uint64_t{1} << (cellNumber(track, step) - kFirstCellNumber);
    return *this;
}

Beat& Beat::everyStep(Track track) {
    for (int step = 1; step <= kSteps; ++step) on(track, step);
    return *this;
}

Beat& Beat::mute(Track track) {
    snapshot_.soundingTracks &= ~(1u << indexOf(track));
    return *this;
}

Beat& Beat::stopped() {
    snapshot_.running = false;
    return *this;
}

Beat& Beat::newGrid(std::uint32_t generation) {
    snapshot_.periodGeneration = generation;
    return *this;
}

std::unique_ptr<Sample> rampSample(float base, int frames) {
    std::vector<float> interleaved(static_cast<std::size_t>(frames) * Sample::kChannels);
    for (std::size_t i = 0; i < interleaved.size(); ++i)
        interleaved[i] = base + static_cast<float>(i / Sample::kChannels);
    return Sample::fromInterleaved(interleaved);
}

std::vector<float> renderLeft(Mixer& mixer, int frames, int blockFrames) {
    std::vector<float> block(static_cast<std::size_t>(blockFrames) * Sample::kChannels);
    std::vector<float> left;
    left.reserve(static_cast<std::size_t>(frames));
    for (int done = 0; done < frames; done += blockFrames) {
        const int count = std::min(blockFrames, frames - done);
        mixer.render(block.data(), count, 0);
        for (int i = 0; i < count; ++i) left.push_back(block[static_cast<std::size_t>(i) * 2]);
    }
    return left;
}

void LoanLedger::offer(Track track, const Sample& sample) {
    ++lent_[&sample];
    if (const Sample* untaken = slots_.offer(track, sample)) giveBack(untaken);
}

int LoanLedger::takeBackReleased() {
    int count = 0;
    while (const Sample* back = slots_.takeReleased()) {
        giveBack(back);
        ++count;
    }
    return count;
}

int LoanLedger::outstanding(const Sample& sample) const {
    const auto found = lent_.find(&sample);
    return found == lent_.end() ? 0 : found->second;
}

int LoanLedger::outstandingTotal() const {
    int total = 0;
    for (const auto& [sample, count] : lent_) total += count;
    return total;
}

void LoanLedger::giveBack(const Sample* sample) {
    int& count = lent_[sample];
    count > 0 ? --count : ++overReturned_;
}

}  // namespace trovik::testing
