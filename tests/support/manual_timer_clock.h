#pragma once

#include "sequencer/timer_clock.h"

namespace trovik::testing {

// A clock that stands still until the test moves it; each move lets the
// timers on it deliver the tick that fell due, at once.
class ManualTimerClock : public TimerClock {
  public:
    Clock::time_point now() const override { return now_; }

    void advance(std::chrono::milliseconds by) {
        now_ += by;
        emit moved();
    }

  private:
    // Far from zero, so that the grid a timer starts on is not special.
    Clock::time_point now_ = Clock::time_point(std::chrono::hours(1000));
};

}  // namespace trovik::testing
