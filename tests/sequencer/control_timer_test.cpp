#include "sequencer/control_timer.h"

#include <gtest/gtest.h>

#include <QTest>
#include <vector>

#include "tests/support/manual_timer_clock.h"

namespace trovik {
namespace {

using std::chrono::milliseconds;

class ControlTimerTest : public ::testing::Test {
  protected:
    testing::ManualTimerClock clock;
    const ControlTimer::Clock::time_point start = clock.now();
    std::vector<milliseconds> dues;     // from the start
    std::vector<std::int64_t> indices;  // of each tick on its grid

    void record(ControlTimer& timer) {
        QObject::connect(&timer, &ControlTimer::timeout, [this, &timer] {
            dues.push_back(std::chrono::duration_cast<milliseconds>(timer.due() - start));
            indices.push_back(timer.tickIndex());
            EXPECT_EQ(timer.due(),
                      timer.gridStart() + timer.tickIndex() * milliseconds(timer.interval()));
        });
    }
};

// The transport monitor rewrites the period all the time; if that restarted
// the countdown, the step clock would never fire.
TEST_F(ControlTimerTest, OnlyADifferentPeriodRestartsTheCountdownAndZeroStops) {
    ControlTimer timer("Timer1", 400, Qt::PreciseTimer, clock);
    record(timer);
    clock.advance(milliseconds(120));
    timer.setInterval(400);
    clock.advance(milliseconds(280));
    EXPECT_EQ(dues, std::vector{milliseconds(400)});
    clock.advance(milliseconds(100));  // 500
    timer.setInterval(800);
    clock.advance(milliseconds(799));
    EXPECT_EQ(dues.size(), 1u) << "the new countdown runs from the change";
    clock.advance(milliseconds(1));
    EXPECT_EQ(dues.back(), milliseconds(1300));
    timer.setInterval(0);
    EXPECT_FALSE(timer.isActive());
    clock.advance(milliseconds(5000));
    EXPECT_EQ(dues.size(), 2u);
}

// However late each tick runs, the due times stay on the grid of whole
// periods from the start (no drift), and ticks missed while the handler was
// busy are dropped rather than made up in a burst.
TEST_F(ControlTimerTest, TicksAreDueOnWholePeriodsAndMissedOnesAreDropped) {
    ControlTimer timer("Timer1", 10, Qt::PreciseTimer, clock);
    record(timer);
    clock.advance(milliseconds(9));
    EXPECT_TRUE(dues.empty()) << "never before it is due";
    clock.advance(milliseconds(1));   // 10
    clock.advance(milliseconds(13));  // 23: the tick due at 20 runs 3 ms late
    clock.advance(milliseconds(7));   // 30: the next one is still due on the grid
    clock.advance(milliseconds(45));  // 75: 40 runs late, 50, 60 and 70 are missed
    clock.advance(milliseconds(4));   // 79
    clock.advance(milliseconds(1));   // 80
    const std::vector<milliseconds> expected{milliseconds(10), milliseconds(20), milliseconds(30),
                                             milliseconds(40), milliseconds(80)};
    EXPECT_EQ(dues, expected);
    EXPECT_EQ(indices, (std::vector<std::int64_t>{1, 2, 3, 4, 8}))
        << "the player places hits by index";
}

// The Qt timer only wakes the timer up: without the clock reaching the due
// time, no tick comes however often it fires.
TEST_F(ControlTimerTest, WakingUpEarlyDeliversNothing) {
    ControlTimer timer("Timer1", 1, Qt::PreciseTimer, clock);
    record(timer);
    QTest::qWait(20);
    EXPECT_TRUE(dues.empty());
}

}  // namespace
}  // namespace trovik
