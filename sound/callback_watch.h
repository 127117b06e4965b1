// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>

#include "sound/dry_stream_detector.h"

namespace trovik {

// What the audio callbacks tell of a stream, for the thread that looks at
// the device every half second: whether the stream stands still (the server
// hangs) and whether it ran dry. The callback side is plain arithmetic and
// atomics: safe on the audio thread.
class CallbackWatch {
  public:
    // A new stream may stand still for about 2 s while the server wakes its
    // sink; only a longer silence of the callback means the server hangs.
    static constexpr int kLooksWithoutCallbackWhenStalled = 8;

    explicit CallbackWatch(int sampleRate) : dryStream_(sampleRate) {}

    // Before a new stream starts, while no callback runs.
    void restart() {
        dryStream_.restart();
        callbacksSeen_ = callbacks_.load(std::memory_order_acquire);
        looksWithoutCallback_ = 0;
        dryTimesSeen_ = dryTimes_.load(std::memory_order_acquire);
    }

    // Audio thread: a callback at `nowNanoseconds` asking for `frames` frames.
    void callback(std::int64_t nowNanoseconds, int frames) {
        if (dryStream_.callback(nowNanoseconds, frames))
            dryTimes_.fetch_add(1, std::memory_order_release);
        callbacks_.fetch_add(1, std::memory_order_release);
    }

    // One look: true once no callback came in the last
    // kLooksWithoutCallbackWhenStalled looks.
    bool stalled() {
        const std::uint64_t callbacks = callbacks_.load(std::memory_order_acquire);
        looksWithoutCallback_ = callbacks == callbacksSeen_ ? looksWithoutCallback_ + 1 : 0;
        callbacksSeen_ = callbacks;
        return looksWithoutCallback_ >= kLooksWithoutCallbackWhenStalled;
    }

    // True when the stream ran dry since the last look.
    bool ranDry() {
        const std::uint64_t dry = dryTimes_.load(std::memory_order_acquire);
        const bool ran = dry != dryTimesSeen_;
        dryTimesSeen_ = dry;
        return ran;
    }

  private:
    DryStreamDetector dryStream_;  // audio thread, but for restart()
    std::atomic<std::uint64_t> callbacks_{0};
    std::atomic<std::uint64_t> dryTimes_{0};
    // The looking thread's.
    std::uint64_t callbacksSeen_ = 0;
    int looksWithoutCallback_ = 0;
    std::uint64_t dryTimesSeen_ = 0;
};

}  // namespace trovik
