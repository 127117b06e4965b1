// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "sound/mixer.h"
#include "tests/sound/beat_for_tests.h"

namespace trovik {
namespace {

using testing::Beat;
using testing::LoanLedger;

constexpr int kRate = 48000;
constexpr int kBlock = 256;
constexpr int kBlocks = 50000;
constexpr int kSamples = 8;
constexpr float kPoison = -7.0f;

// A sample that holds its number on every frame, or poison while no one
// may play it.
class MarkedSample {
  public:
    MarkedSample(int number, int frames)
        : number_(static_cast<float>(number)), sample_(std::make_unique<Sample>(frames)) {
        mark(true);
        sample_->complete(frames);
    }
    const Sample& sample() const { return *sample_; }
    void mark(bool playable) {
        for (int i = 0; i < sample_->capacity(); ++i)
            std::fill_n(sample_->frameForWriting(i), Sample::kChannels,
                        playable ? number_ : kPoison);
    }

  private:
    float number_;
    std::unique_ptr<Sample> sample_;
};

// A hit every 1 to 3 ms on random cells; now and then a track is muted or
// the beat stopped.
Beat randomBeat(std::mt19937& random, std::uint32_t generation) {
    Beat beat(static_cast<int>(1 + random() % 3));
    for (const Track track : kTracksInPlayOrder) {
        for (int step = 1; step <= kSteps; ++step)
            if (track == Track::Bass || random() % 3 == 0) beat.on(track, step);
        if (random() % 4 == 0) beat.mute(track);
    }
    if (random() % 5 == 0) beat.stopped();
    return beat.newGrid(generation);
}

// The owner offers new sounds (shared between tracks, now and then the
// silent one) as fast as it can and now and then changes the beat, while
// the audio thread renders it with a hit every 48 frames or so, the way the
// watcher thread and the audio thread share the slots. The owner writes
// poison into every sample no one holds a loan of, and writes it back
// before offering it again: an audio thread that played a sample after
// giving it back would sound the poison (and ThreadSanitizer would see the
// race). No more loans are out at once than the release queue was sized
// for, and afterwards every loan has come back exactly once.
TEST(MixerStress, AnOwnerOfferingConstantlyWhileTheAudioThreadRendersLosesNoLoan) {
    SequencerLink link;
    TrackSlots slots;
    Mixer mixer(link, slots, kRate);
    std::vector<MarkedSample> pool;
    for (int i = 1; i <= kSamples; ++i) pool.emplace_back(i, 20 + 37 * i);
    std::mt19937 random(777);
    link.snapshots.write(randomBeat(random, 0).snapshot());
    for (MarkedSample& sample : pool) sample.mark(false);

    std::atomic<bool> rendering{true};
    int badFrames = 0;
    std::thread audio([&] {
        std::vector<float> out(kBlock * Sample::kChannels);
        for (int block = 0; block < kBlocks; ++block) {
            mixer.render(out.data(), kBlock, 0);
            for (const float value : out)
                if (value != 0.0f && (value < 1.0f || value > kSamples)) ++badFrames;
        }
        rendering.store(false);
    });

    LoanLedger ledger(slots);
    auto poisonUnlent = [&] {
        for (MarkedSample& sample : pool)
            if (ledger.outstanding(sample.sample()) == 0) sample.mark(false);
    };
    long offers = 0;
    std::uint32_t generation = 0;
    int overLent = 0;
    while (rendering.load()) {
        ledger.takeBackReleased();
        if (ledger.outstandingTotal() > TrackSlots::kMostReleasedBetweenTakes) ++overLent;
        poisonUnlent();
        if (offers % 200 == 199) link.snapshots.write(randomBeat(random, ++generation).snapshot());
        const Track track = kTracksInPlayOrder[random() % kTrackCount];
        if (random() % 8 == 0) {
            ledger.offer(track, TrackSlots::silence());
        } else {
            MarkedSample& chosen = pool[random() % pool.size()];
            if (ledger.outstanding(chosen.sample()) == 0) chosen.mark(true);
            ledger.offer(track, chosen.sample());
        }
        ++offers;
        poisonUnlent();  // an untaken one came back
        std::this_thread::yield();
    }
    audio.join();

    EXPECT_EQ(badFrames, 0);
    EXPECT_EQ(overLent, 0) << "one waiting and one taken per track, and one voice";
    EXPECT_EQ(slots.droppedReleases(), 0);
    EXPECT_GT(offers, 0);
    // Both sides on this thread now: a last sound for every track, and time
    // for the voice to end. Only those last loans are still out.
    MarkedSample last(kSamples + 1, 10);
    for (const Track track : kTracksInPlayOrder) ledger.offer(track, last.sample());
    link.snapshots.write(Beat(1).stopped().newGrid(++generation).snapshot());
    std::vector<float> out(4096 * Sample::kChannels);
    mixer.render(out.data(), 4096, 0);
    ledger.takeBackReleased();
    EXPECT_EQ(ledger.overReturned(), 0);
    EXPECT_EQ(ledger.outstanding(last.sample()), kTrackCount);
    EXPECT_EQ(ledger.outstandingTotal(), kTrackCount);
}

}  // namespace
}  // namespace trovik
