// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace trovik {

// Tells from the times of the audio callbacks alone when the stream ran
// dry. A stream that ran dry plays on from where it stopped, so from then on
// the server asks for each frame later by as long as the gap lasted:
// against the frames played, the earliest callback of a run of them comes
// later than the earliest of the run before. A server that asks for several
// buffers at once, or a clock a little off, moves nothing of that. Plain
// arithmetic: safe on the audio thread.
class DryStreamDetector {
  public:
    static constexpr int kCallbacksInRun = 32;
    static constexpr std::int64_t kStepNanoseconds = 2'000'000;

    explicit DryStreamDetector(int sampleRate) : sampleRate_(sampleRate) {}

    // A new stream: it may stand still for seconds while the server wakes
    // its sink, so only a stream that has played a second is judged.
    void restart() {
        framesPlayed_ = 0;
        earliestInRun_ = earliestBefore_ = kNone;
        callbacksInRun_ = 0;
    }

    // A callback at `nowNanoseconds` asking for `frames` frames. True when
    // the stream is found to have run dry since the run before.
    bool callback(std::int64_t nowNanoseconds, int frames) {
        const std::int64_t played = framesPlayed_;
        framesPlayed_ += frames;
        if (played < sampleRate_) return false;
        const std::int64_t lateness = nowNanoseconds - played * 1'000'000'000 / sampleRate_;
        earliestInRun_ = std::min(earliestInRun_, lateness);
        if (++callbacksInRun_ < kCallbacksInRun) return false;
        const bool dry =
            earliestBefore_ != kNone && earliestInRun_ - earliestBefore_ > kStepNanoseconds;
        earliestBefore_ = earliestInRun_;
        earliestInRun_ = kNone;
        callbacksInRun_ = 0;
        return dry;
    }

  private:
    static constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::max();

    int sampleRate_;
    std::int64_t framesPlayed_ = 0;
    std::int64_t earliestInRun_ = kNone;
    std::int64_t earliestBefore_ = kNone;
    int callbacksInRun_ = 0;
};

}  // namespace trovik
