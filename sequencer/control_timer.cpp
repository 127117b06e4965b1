#include "control_timer.h"

#include <algorithm>

namespace trovik {

ControlTimer::ControlTimer(const QString& name, int interval, Qt::TimerType type, QObject* parent)
    : QObject(parent) {
    setObjectName(name);
    timer_.setTimerType(type);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &ControlTimer::tick);
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
    gridStart_ = Clock::now();
    nextIndex_ = 1;
    nextDue_ = gridStart_ + period();
    armForNextDue();
}

int ControlTimer::remainingTime() const {
    if (!timer_.isActive()) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(nextDue_ - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

void ControlTimer::tick() {
    due_ = nextDue_;
    tickIndex_ = nextIndex_;
    nextDue_ += period();
    ++nextIndex_;
    const auto now = Clock::now();
    if (nextDue_ <= now) {
        const auto missed = (now - nextDue_) / period() + 1;
        nextDue_ += missed * period();
        nextIndex_ += missed;
    }
    armForNextDue();
    emit timeout();
}

void ControlTimer::armForNextDue() {
    const auto wait = std::chrono::round<std::chrono::milliseconds>(nextDue_ - Clock::now());
    timer_.start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(wait.count(), 0)));
}

}  // namespace trovik
