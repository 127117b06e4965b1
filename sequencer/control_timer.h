#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>

#include "sequencer/timer_clock.h"

namespace trovik {

// A periodic timer driven by writing its period: 0 stops it, a different
// period (re)starts the countdown, and writing the period it already has
// leaves the running countdown alone. (QTimer::setInterval restarts the
// countdown on every write, so a monitor that rewrites the period on each of
// its ticks would keep it from ever firing.)
//
// Its ticks are due at the start plus whole periods, so it does not drift
// however late a tick runs, and due() tells when the current tick was due.
// A tick that runs late is delivered once, late; the ticks missed meanwhile
// are dropped rather than made up in a burst. A tick is never delivered
// before its clock has reached its due time.
class ControlTimer : public QObject {
    Q_OBJECT

  public:
    using Clock = TimerClock::Clock;

    // Runs on the steady clock.
    ControlTimer(const QString& name, int interval, Qt::TimerType type, QObject* parent = nullptr);
    ControlTimer(const QString& name, int interval, Qt::TimerType type, const TimerClock& clock,
                 QObject* parent = nullptr);

    void setInterval(int milliseconds);
    int interval() const { return interval_; }
    bool isActive() const { return interval_ != 0; }

    // When the tick being delivered now was due: the start of the grid plus
    // tickIndex() whole periods.
    Clock::time_point due() const { return due_; }
    Clock::time_point gridStart() const { return gridStart_; }
    std::int64_t tickIndex() const { return tickIndex_; }

  signals:
    void timeout();

  private:
    void start(const QString& name, int interval, Qt::TimerType type);
    void wake();
    void armForNextDue(Clock::time_point now);
    std::chrono::milliseconds period() const { return std::chrono::milliseconds(interval_); }

    SteadyTimerClock steadyClock_;
    const TimerClock& clock_;
    QTimer timer_;
    int interval_ = 0;
    Clock::time_point gridStart_{};
    Clock::time_point due_{};
    Clock::time_point nextDue_{};
    std::int64_t tickIndex_ = 0;
    std::int64_t nextIndex_ = 1;
};

}  // namespace trovik
