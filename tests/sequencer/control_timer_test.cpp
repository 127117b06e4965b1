#include "control_timer.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QThread>
#include <vector>

namespace trovik {
namespace {

// The transport monitor rewrites the period all the time; if that restarted
// the countdown, the step clock would never fire.
TEST(ControlTimer, OnlyADifferentPeriodRestartsTheCountdownAndZeroStops) {
    ControlTimer timer("Timer1", 400, Qt::PreciseTimer);
    QThread::msleep(120);
    timer.setInterval(400);
    EXPECT_LE(timer.remainingTime(), 400 - 100);
    timer.setInterval(800);
    EXPECT_GT(timer.remainingTime(), 800 - 100);
    timer.setInterval(0);
    EXPECT_FALSE(timer.isActive());
}

// However late each tick runs, the due times stay on the grid of whole
// periods from the start (no drift), and ticks missed while the handler was
// busy are dropped rather than made up in a burst.
TEST(ControlTimer, TicksAreDueOnWholePeriodsAndMissedOnesAreDropped) {
    using namespace std::chrono;
    ControlTimer clock("Timer1", 10, Qt::PreciseTimer);
    std::vector<ControlTimer::Clock::time_point> dues;
    std::vector<std::int64_t> indices;
    QObject::connect(&clock, &ControlTimer::timeout, [&] {
        dues.push_back(clock.due());
        indices.push_back(clock.tickIndex());
        QThread::msleep(dues.size() == 5 ? 45 : dues.size() % 7);
    });
    for (int i = 0; i < 400 && dues.size() < 12; ++i) QTest::qWait(5);
    ASSERT_GE(dues.size(), 12u);
    for (std::size_t k = 1; k < dues.size(); ++k) {
        const auto step = duration_cast<microseconds>(dues[k] - dues[k - 1]).count();
        EXPECT_EQ(dues[k], clock.gridStart() + indices[k] * milliseconds(10)) << "tick " << k;
        EXPECT_EQ(step % 10000, 0) << "tick " << k;
        if (k == 5) {
            EXPECT_EQ(step, 10000) << "the late tick still comes, once";
        } else if (k == 6) {
            EXPECT_GE(step, 40000) << "the ticks missed during the 45 ms wait are skipped";
        }
    }
}

}  // namespace
}  // namespace trovik
