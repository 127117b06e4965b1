// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/mixer.h"

#include <algorithm>
#include <cstddef>
#include <thread>
#include <utility>

namespace trovik {

Mixer::Mixer(SequencerLink& link, TrackSlots& slots, int sampleRate)
    : steps_(link, sampleRate), slots_(slots), stream_(sampleRate) {}

// Sequentially consistent, both sides: the stream marks itself rendering,
// then looks at the gate; shut() closes the gate, then waits until the
// stream is not rendering. One of them sees the other.
void Mixer::render(float* out, int frames, std::int64_t nowNanoseconds) {
    streamRendering_.store(true);
    if (gate_.load() == kOpen) {
        renderBlock(out, frames, nowNanoseconds);
    } else {
        std::fill_n(out, static_cast<std::ptrdiff_t>(frames) * Sample::kChannels, 0.0f);
    }
    streamRendering_.store(false);
}

void Mixer::shut(Gate how) {
    int gate = gate_.load();
    while (gate < how && !gate_.compare_exchange_weak(gate, how)) {
    }
    while (streamRendering_.load()) std::this_thread::yield();
    streamStarting_ = true;
}

void Mixer::streamStarts() {
    streamStarting_ = true;
    int shut = kShut;
    gate_.compare_exchange_strong(shut, kOpen);
}

void Mixer::renderWithoutStream(float* out, int frames, std::int64_t nowNanoseconds) {
    renderBlock(out, frames, nowNanoseconds);
}

void Mixer::renderBlock(float* out, int frames, std::int64_t nowNanoseconds) {
    keepGridOnClock(frames, nowNanoseconds);
    takeOffers();
    out_ = out;
    done_ = 0;
    steps_.walk(frames, *this, nowNanoseconds,
                nowNanoseconds + outputLatency_.load(std::memory_order_relaxed));
    renderVoiceUntil(frames);
    out_ = nullptr;
    framesRendered_ += frames;
}

void Mixer::keepGridOnClock(int frames, std::int64_t nowNanoseconds) {
    const std::int64_t gridFrame = steps_.framesWalked();
    std::optional<std::int64_t> heardLatency;
    if (std::exchange(heardLatencyTold_, false))
        heardLatency = outputLatency_.load(std::memory_order_relaxed);
    if (streamStarting_) {
        streamStarting_ = false;
        followsClock_ = true;
        // Untold, the last block's frames sound as much later than its
        // callback as its server held ahead, and a new stream's first block
        // as soon as it is there.
        const std::int64_t lastHeardAfter = lastBlockHeardLatency_.value_or(stream_.heldAhead());
        stream_.restart();
        dryRunsSeen_ = dryRunsTold_;
        dryRunToldAt_ = kNoDryRun;
        if (rendered_) {
            const std::int64_t since = std::max<std::int64_t>(nowNanoseconds - lastBlockAt_, 0);
            const std::int64_t heardSince = since + heardLatency.value_or(0) - lastHeardAfter;
            steps_.skip(lastBlockFrame_ + framesIn(heardSince, sampleRate()) - gridFrame);
        }
    }
    // A stream that ran dry, or stood still as it started, left a hole.
    if (followsClock_) {
        const std::int64_t detected = stream_.callback(nowNanoseconds, frames);
        steps_.skip(framesIn(dryGap(detected, nowNanoseconds), sampleRate()));
        steps_.skip(framesIn(stream_.takeStartStall(), sampleRate()));
    }
    rendered_ = true;
    lastBlockFrame_ = steps_.framesWalked();
    lastBlockAt_ = nowNanoseconds;
    lastBlockFrames_ = frames;
    lastBlockHeardLatency_ = heardLatency;
}

// The hole a dry run left, where the server, if it tells its dry runs, told
// one lately: as its timing of the stream tells it, or else as the detector
// found it.
std::int64_t Mixer::dryGap(std::int64_t detected, std::int64_t nowNanoseconds) {
    if (!dryRunsTellingStream_) return detected;
    if (dryRunsTold_ != dryRunsSeen_) {
        dryRunsSeen_ = dryRunsTold_;
        dryRunToldAt_ = nowNanoseconds;
    }
    if (dryRunToldAt_ != kNoDryRun && nowNanoseconds - dryRunToldAt_ > kDryRunVerdictWithin)
        dryRunToldAt_ = kNoDryRun;
    if (heardTimingStream_) {
        const std::int64_t heardLater = std::exchange(heardLater_, 0);
        return dryRunToldAt_ == kNoDryRun ? 0 : heardLater;
    }
    if (detected == 0 || dryRunToldAt_ == kNoDryRun) return 0;
    dryRunToldAt_ = kNoDryRun;
    return detected;
}

std::int64_t Mixer::voiceFramesLeft() const {
    if (voice_ == nullptr) return 0;
    std::int64_t end = Sample::kEndUnknown;
    if (voice_->isStreamed()) {
        end = voice_->streamEnd();
    } else if (voice_->isComplete()) {
        end = voice_->frameCount();
    }
    return end == Sample::kEndUnknown ? end : std::max<std::int64_t>(end - voicePosition_, 0);
}

void Mixer::continueVoice(Track track, std::int64_t position) {
    letVoiceGo();
    voice_ = current_[static_cast<std::size_t>(indexOf(track))];
    voicePosition_ = position;
}

// Stop, then start: the sound playing is cut on the hit's frame.
void Mixer::PlaySample(Track track, int frameOffset) {
    renderVoiceUntil(frameOffset);
    letVoiceGo();
    voice_ = current_[static_cast<std::size_t>(indexOf(track))];
    voicePosition_ = 0;
}

void Mixer::takeOffers() {
    for (Track track : kTracksInPlayOrder) {
        const Sample* offered = slots_.take(track);
        if (offered == nullptr) continue;
        const Sample*& current = current_[static_cast<std::size_t>(indexOf(track))];
        if (current != nullptr) {
            if (voice_ == current && !voiceHoldsLoan_) {
                voiceHoldsLoan_ = true;  // it plays on; given back when it ends
            } else {
                slots_.release(current);
            }
        }
        current = offered;
    }
}

void Mixer::renderVoiceUntil(int frame) {
    float* at = out_ + static_cast<std::ptrdiff_t>(done_) * Sample::kChannels;
    int copied = 0;
    if (voice_ != nullptr) {
        const Sample::Read read = voice_->read(voicePosition_, at, frame - done_);
        copied = read.frames;
        voicePosition_ += read.frames;
        if (read.ended) letVoiceGo();
    }
    // A sample still being decoded, or streamed, that has run dry waits, silent.
    std::fill_n(at + static_cast<std::ptrdiff_t>(copied) * Sample::kChannels,
                (frame - done_ - copied) * Sample::kChannels, 0.0f);
    done_ = frame;
}

void Mixer::letVoiceGo() {
    if (voice_ != nullptr && voiceHoldsLoan_) slots_.release(voice_);
    voice_ = nullptr;
    voiceHoldsLoan_ = false;
}

}  // namespace trovik
