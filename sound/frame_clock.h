// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstdlib>

#include "sequencer/steady_time.h"

namespace trovik {

// A server's own frame counter (32 bits, wrapping), told as times on the
// steady clock. A server that keeps its own frames (JACK) decides where a
// frame is heard: a process thread that wakes late costs no frame and must not
// look like a gap, while cycles the server ran without us are one, exactly as
// long as the frames it counted. Within a stream the frames decide, so every
// frame keeps its exact time; but when the server's own time of a cycle
// (JACK's filtered cycle time) lies more than half a millisecond off the
// counted one, the server's is taken from there on: after an xrun JACK counts
// its frames from the clock again, and a card's clock drifts against ours.
// Audio thread only; restart() while no callback runs.
class FrameClock {
  public:
    static constexpr std::int64_t kAgreementNanoseconds = 500'000;

    void restart() { started_ = false; }

    // The time of the cycle that starts at `frameTime`, which the server
    // says starts at `serverTime` (or the callback's time, where it says
    // nothing).
    std::int64_t timeOf(std::uint32_t frameTime, std::int64_t serverTime, int rate) {
        if (started_) {
            frames_ += static_cast<std::uint32_t>(frameTime - lastFrame_);
            lastFrame_ = frameTime;
            const std::int64_t counted = startTime_ + nanosecondsIn(frames_, rate);
            if (std::abs(serverTime - counted) <= kAgreementNanoseconds) return counted;
        }
        started_ = true;
        startTime_ = serverTime;
        lastFrame_ = frameTime;
        frames_ = 0;
        return serverTime;
    }

  private:
    bool started_ = false;
    std::int64_t startTime_ = 0;
    std::uint32_t lastFrame_ = 0;
    std::int64_t frames_ = 0;
};

}  // namespace trovik
