#include "sequencer/control_timer.h"

#include <algorithm>

namespace trovik {

ControlTimer::ControlTimer(const QString& name, int interval, Qt::TimerType type, QObject* parent)
    : QObject(parent), clock_(steadyClock_) {
    start(name, interval, type);
}

ControlTimer::ControlTimer(const QString& name, int interval, Qt::TimerType type,
                           const TimerClock& clock, QObject* parent)
    : QObject(parent), clock_(clock) {
    start(name, interval, type);
}

void ControlTimer::start(const QString& name, int interval, Qt::TimerType type) {
    setObjectName(name);
    timer_.setTimerType(type);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &ControlTimer::wake);
    connect(&clock_, &TimerClock::moved, this, &ControlTimer::wake);
    setInterval(interval);
}

void ControlTimer::setInterval(int milliseconds) {
    milliseconds = std::max(milliseconds, 0);
    if (milliseconds == interval_) return;
    interval_ = milliseconds;
    if (milliseconds == 0) {
        timer_.stop();
        return;
    }
    const auto now = clock_.now();
    gridStart_ = now;
    nextIndex_ = 1;
    nextDue_ = now + period();
    armForNextDue(now);
}

// Runs when the Qt timer fires or the clock was moved: either may come
// before the clock has reached the next due time, and then only re-arms.
void ControlTimer::wake() {
    if (!isActive()) return;
    const auto now = clock_.now();
    if (now < nextDue_) {
        armForNextDue(now);
        return;
    }
    due_ = nextDue_;
    tickIndex_ = nextIndex_;
    nextDue_ += period();
    ++nextIndex_;
    if (nextDue_ <= now) {
        const auto missed = (now - nextDue_) / period() + 1;
        nextDue_ += missed * period();
        nextIndex_ += missed;
    }
    armForNextDue(now);
    emit timeout();
}

// Rounded up, so that the Qt timer does not fire before the due time and
// spin; a tick up to a millisecond late is harmless, as due() tells when it
// was due.
void ControlTimer::armForNextDue(Clock::time_point now) {
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(nextDue_ - now);
    timer_.start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(wait.count(), 0)));
}

}  // namespace trovik
