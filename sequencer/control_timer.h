#pragma once

#include <QObject>
#include <QTimer>

namespace trovik {

// A periodic timer driven by writing its period: 0 stops it, a different
// period (re)starts the countdown, and writing the period it already has
// leaves the running countdown alone. (QTimer::setInterval restarts the
// countdown on every write, so a monitor that rewrites the period every
// millisecond would keep it from ever firing.)
class ControlTimer : public QObject {
    Q_OBJECT

public:
    ControlTimer(const QString& name, int interval, Qt::TimerType type, QObject* parent = nullptr);

    void setInterval(int milliseconds);
    int interval() const { return interval_; }
    bool isActive() const { return timer_.isActive(); }
    int remainingTime() const { return timer_.remainingTime(); }

signals:
    void timeout();

private:
    QTimer timer_;
    int interval_ = 0;
};

}  // namespace trovik
