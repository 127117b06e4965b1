#pragma once

#include <QObject>
#include <chrono>

namespace trovik {

// The time a ControlTimer runs on. The program uses SteadyTimerClock; a test
// uses a clock it moves by hand, so that which ticks come, and when they were
// due, never depends on how busy the machine is.
class TimerClock : public QObject {
    Q_OBJECT

  public:
    using Clock = std::chrono::steady_clock;

    virtual Clock::time_point now() const = 0;

  signals:
    // The time jumped forward (a clock moved by hand): timers deliver at
    // once the tick that fell due, if any. The steady clock never emits it.
    void moved();
};

class SteadyTimerClock final : public TimerClock {
    Q_OBJECT

  public:
    Clock::time_point now() const override { return Clock::now(); }
};

}  // namespace trovik
