#include "sound/stream_time.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace trovik {
namespace {

using namespace std::chrono;
using TimePoint = StreamTime::Clock::time_point;
constexpr int kRate = 48000;
constexpr int kBuffer = 512;

// A sound card pulling buffers at its own speed, `ppm` fast against the
// steady clock; each callback comes 0 to 2 ms late, and `lateBy` later still.
struct Card {
    StreamClock& clock;
    TimePoint start;
    double ppm = 0.0;
    nanoseconds lateBy{0};
    std::int64_t frame = 0;

    TimePoint dueOf(std::int64_t at) const {
        const double seconds = static_cast<double>(at) / kRate / (1.0 + ppm * 1e-6);
        return start + duration_cast<nanoseconds>(duration<double>(seconds));
    }
    // Delivers every callback due up to `now`.
    void runTo(TimePoint now) {
        while (dueOf(frame) <= now) {
            const auto jitter = microseconds((frame / kBuffer * 7919) % 2000);
            clock.onCallback(frame, dueOf(frame) + jitter + lateBy);
            frame += kBuffer;
        }
    }
};

const TimePoint kStart{hours(1000)};

double millisecondsOf(nanoseconds span) {
    return static_cast<double>(span.count()) / 1e6;
}

// The card runs 250 ppm fast: the stream's time gains 15 ms a minute on
// the steady clock. The hits of a 150 ms grid on it lie exactly 7200
// frames apart and still sound when the stream is one latency past their
// ticks, where a grid on the steady clock would slip by 15 ms a minute.
// Every moment of the time turns back into the frame the stream clock gives.
TEST(StreamTime, RunsAtTheCardsSpeedSoAGridOnItKeepsToTheFrames) {
    StreamClock clock(kRate);
    StreamTime time(clock);
    Card card{clock, kStart, 250.0};
    card.runTo(kStart);
    const TimePoint first = time.now(kStart);
    EXPECT_EQ(first, kStart) << "the time starts where the steady clock is";

    constexpr auto kLatency = milliseconds(15);
    const std::int64_t firstHit = time.frameOf(first + milliseconds(150) + kLatency);
    std::int64_t worst = 0;
    std::int64_t ticks = 0;
    TimePoint due = first + milliseconds(150);
    TimePoint steady = kStart;
    TimePoint told = first;
    while (steady < kStart + seconds(60)) {
        steady += milliseconds(1);
        card.runTo(steady);
        told = time.now(steady);
        ASSERT_EQ(time.frameOf(told), clock.frameAt(steady));
        if (told < due) continue;
        // A tick: where its hit is placed against where the stream is when
        // the latency has passed.
        const std::int64_t planned = time.frameOf(due + kLatency);
        ASSERT_EQ(planned, firstHit + ticks * 7200) << "tick " << ticks;
        worst = std::max(worst, std::abs(planned - clock.frameAt(steady + kLatency)));
        due += milliseconds(150);
        ++ticks;
    }
    EXPECT_EQ(ticks, 400);
    EXPECT_LE(worst, kRate / 1000 + 2) << "no more than the 1 ms a tick may run late";
    const auto gained = (told - first) - (steady - kStart);
    EXPECT_NEAR(millisecondsOf(gained), 15.0, 0.5) << "less what the callbacks' jitter hides";
    EXPECT_EQ(time.epoch(), clock.epoch());
}

// No device: the time goes on at the steady clock's speed and has no
// frames. A stream that comes (again) takes over from where the time is,
// without a jump, in its own epoch.
TEST(StreamTime, WithoutAStreamGoesOnSteadilyAndTakesUpANewStreamWithoutAJump) {
    StreamClock clock(kRate);
    StreamTime time(clock);
    EXPECT_EQ(time.now(kStart), kStart);
    EXPECT_EQ(time.now(kStart + milliseconds(100)), kStart + milliseconds(100));
    EXPECT_EQ(time.frameOf(kStart + milliseconds(100)), StreamTime::kUnknown);

    clock.onCallback(0, kStart + milliseconds(100));
    TimePoint told = time.now(kStart + milliseconds(150));
    EXPECT_EQ(told, kStart + milliseconds(150));
    EXPECT_EQ(time.frameOf(told + milliseconds(10)), 2400 + 480);

    clock.reset();  // the device was closed
    EXPECT_EQ(time.now(kStart + milliseconds(1150)), kStart + milliseconds(1150));
    EXPECT_EQ(time.frameOf(kStart + milliseconds(1150)), StreamTime::kUnknown);

    clock.onCallback(0, kStart + milliseconds(2000));
    told = time.now(kStart + milliseconds(2010));
    EXPECT_EQ(told, kStart + milliseconds(2010));
    EXPECT_EQ(time.frameOf(told), 480);
    EXPECT_EQ(time.epoch(), clock.epoch());
    EXPECT_NE(time.epoch(), 0u);
}

// The callbacks come 3 ms later from some point on, and the stream clock
// corrects its estimate: within the epoch the time steps back by as much
// (a timer on it waits) rather than taking a new offset, so the hits
// already planned keep their frames.
TEST(StreamTime, StepsBackWhenTheStreamClockCorrectsItsEstimate) {
    StreamClock clock(kRate);
    StreamTime time(clock);
    Card card{clock, kStart};
    TimePoint steady = kStart;
    TimePoint told = time.now(steady);
    nanoseconds stepBack{0};
    while (steady < kStart + seconds(5)) {
        steady += milliseconds(1);
        if (steady == kStart + seconds(2)) card.lateBy = milliseconds(3);
        card.runTo(steady);
        const TimePoint previous = told;
        told = time.now(steady);
        ASSERT_EQ(time.frameOf(told), clock.frameAt(steady));
        stepBack = std::max(stepBack, duration_cast<nanoseconds>(previous - told));
    }
    EXPECT_NEAR(millisecondsOf(stepBack), 3.0 - 1.0, 0.1)
        << "3 ms later, less the millisecond the steady clock went on";
    EXPECT_EQ(clock.epoch(), 0u);
}

}  // namespace
}  // namespace trovik
