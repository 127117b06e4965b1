#include "control_timer.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QThread>

namespace trovik {
namespace {

TEST(ControlTimer, PeriodZeroStopsAndANewPeriodStarts) {
    ControlTimer timer("Timer1", 200, Qt::PreciseTimer);
    EXPECT_TRUE(timer.isActive());
    timer.setInterval(0);
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(timer.interval(), 0);
    timer.setInterval(150);
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(timer.interval(), 150);
}

// The transport monitor rewrites the period every millisecond; if that
// restarted the countdown, the step clock would never fire.
TEST(ControlTimer, WritingTheSamePeriodKeepsTheRunningCountdown) {
    ControlTimer timer("Timer1", 400, Qt::PreciseTimer);
    QThread::msleep(120);
    timer.setInterval(400);
    EXPECT_LE(timer.remainingTime(), 400 - 100);
}

TEST(ControlTimer, WritingAnotherPeriodRestartsTheCountdown) {
    ControlTimer timer("Timer1", 400, Qt::PreciseTimer);
    QThread::msleep(120);
    timer.setInterval(800);
    EXPECT_GT(timer.remainingTime(), 800 - 100);
}

TEST(ControlTimer, FiresRepeatedlyWhileThePeriodIsRewritten) {
    ControlTimer clock("Timer1", 20, Qt::PreciseTimer);
    ControlTimer monitor("Timer2", 1, Qt::PreciseTimer);
    QObject::connect(&monitor, &ControlTimer::timeout, [&clock] { clock.setInterval(20); });
    QSignalSpy ticks(&clock, &ControlTimer::timeout);
    for (int i = 0; i < 100 && ticks.count() < 3; ++i) ticks.wait(100);
    EXPECT_GE(ticks.count(), 3);
}

TEST(ControlTimer, NegativePeriodsCountAsZero) {
    ControlTimer timer("Timer1", 200, Qt::PreciseTimer);
    timer.setInterval(-5);
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(timer.interval(), 0);
}

}  // namespace
}  // namespace trovik
