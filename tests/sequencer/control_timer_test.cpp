#include "control_timer.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <vector>

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

// However late each tick runs, the due times stay on the grid of whole
// periods from the start: the clock does not drift.
TEST(ControlTimer, TicksAreDueOnWholePeriodsFromTheStart) {
    using namespace std::chrono;
    ControlTimer clock("Timer1", 10, Qt::PreciseTimer);
    std::vector<ControlTimer::Clock::time_point> dues;
    int sleepMs = 0;
    QObject::connect(&clock, &ControlTimer::timeout, [&] {
        dues.push_back(clock.due());
        QThread::msleep(sleepMs = (sleepMs + 3) % 7);  // a busy handler, up to 6 ms
    });
    for (int i = 0; i < 200 && dues.size() < 20; ++i) QTest::qWait(10);
    ASSERT_GE(dues.size(), 20u);
    for (std::size_t k = 1; k < dues.size(); ++k) {
        const auto sinceFirst = duration_cast<microseconds>(dues[k] - dues[0]).count();
        EXPECT_EQ(sinceFirst % 10000, 0) << "tick " << k;
        EXPECT_GT(dues[k], dues[k - 1]);
    }
}

TEST(ControlTimer, TicksMissedWhileBusyAreDroppedNotMadeUpInABurst) {
    using namespace std::chrono;
    ControlTimer clock("Timer1", 10, Qt::PreciseTimer);
    std::vector<ControlTimer::Clock::time_point> dues;
    QObject::connect(&clock, &ControlTimer::timeout, [&] {
        dues.push_back(clock.due());
        if (dues.size() == 1) QThread::msleep(45);
    });
    for (int i = 0; i < 200 && dues.size() < 3; ++i) QTest::qWait(5);
    ASSERT_GE(dues.size(), 3u);
    EXPECT_EQ(duration_cast<milliseconds>(dues[1] - dues[0]).count(), 10) << "the late tick comes once";
    const auto gap = duration_cast<milliseconds>(dues[2] - dues[1]).count();
    EXPECT_GE(gap, 30) << "the ticks missed while the handler was busy are skipped";
    EXPECT_EQ(duration_cast<microseconds>(dues[2] - dues[0]).count() % 10000, 0);
}

TEST(ControlTimer, NegativePeriodsCountAsZero) {
    ControlTimer timer("Timer1", 200, Qt::PreciseTimer);
    timer.setInterval(-5);
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(timer.interval(), 0);
}

}  // namespace
}  // namespace trovik
