#include "control_timer.h"

namespace trovik {

ControlTimer::ControlTimer(const QString& name, int interval, Qt::TimerType type, QObject* parent)
    : QObject(parent) {
    setObjectName(name);
    timer_.setTimerType(type);
    connect(&timer_, &QTimer::timeout, this, &ControlTimer::timeout);
    setInterval(interval);
}

void ControlTimer::setInterval(int milliseconds) {
    milliseconds = std::max(milliseconds, 0);
    if (milliseconds == interval_) return;
    interval_ = milliseconds;
    if (milliseconds == 0) {
        timer_.stop();
    } else {
        timer_.start(milliseconds);
    }
}

}  // namespace trovik
