// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "sequencer/steady_time.h"

namespace trovik {

// A server's own frame counter (32 bits, wrapping), told as times on the
// steady clock from where the stream started. A server that keeps its own
// frames (JACK) decides where a frame is heard: a process thread that wakes
// late costs no frame and must not look like a gap, while cycles the server
// ran without us are one, exactly as long as the frames it counted.
// Audio thread only; restart() while no callback runs.
class FrameClock {
  public:
    void restart() { started_ = false; }

    // The time of the cycle that starts at `frameTime`; `now` anchors the
    // first cycle of a stream on the steady clock.
    std::int64_t timeOf(std::uint32_t frameTime, std::int64_t now, int rate) {
        if (!started_) {
            started_ = true;
            startTime_ = now;
            lastFrame_ = frameTime;
            frames_ = 0;
        }
        frames_ += static_cast<std::uint32_t>(frameTime - lastFrame_);
        lastFrame_ = frameTime;
        return startTime_ + nanosecondsIn(frames_, rate);
    }

  private:
    bool started_ = false;
    std::int64_t startTime_ = 0;
    std::uint32_t lastFrame_ = 0;
    std::int64_t frames_ = 0;
};

}  // namespace trovik
