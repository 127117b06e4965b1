#include "sound/stream_clock.h"

#include <gtest/gtest.h>

namespace trovik {
namespace {

using namespace std::chrono;
constexpr int kRate = 48000;
constexpr int kBuffer = 256;
const auto kBufferTime = nanoseconds(std::int64_t{kBuffer} * 1'000'000'000 / kRate);

TEST(StreamClock, LateCallbacksDoNotMoveTheEstimateButAStalledStreamDoes) {
    StreamClock clock(kRate);
    const auto start = StreamClock::Clock::now();
    EXPECT_EQ(clock.frameAt(start), StreamClock::kUnknown);
    std::int64_t frame = 0;
    auto due = start;
    for (int i = 0; i < 300; ++i, frame += kBuffer, due += kBufferTime) {
        clock.onCallback(frame, due + microseconds((i * 7919) % 3000));  // 0 to 3 ms late
    }
    EXPECT_NEAR(clock.frameAt(start + milliseconds(500)), 24000, 1);
    EXPECT_EQ(clock.epoch(), 0u);

    due += milliseconds(80);  // the device stopped pulling for 80 ms
    for (int i = 0; i < 600; ++i, frame += kBuffer, due += kBufferTime)
        clock.onCallback(frame, due);
    EXPECT_NEAR(clock.frameAt(due), frame, 2);
    EXPECT_EQ(clock.epoch(), 1u);
}

// A stream often falters as it starts (the server wakes its sink). Until
// the clock notices, every hit would be placed that much too late; in the
// first second it looks every tenth of a second, so it follows within a
// few. A pause this short is corrected, not taken for a new stream.
TEST(StreamClock, AShortStallAsTheStreamStartsIsFollowedWithinAFewTenthsOfASecond) {
    StreamClock clock(kRate);
    const auto start = StreamClock::Clock::now();
    std::int64_t frame = 0;
    auto due = start;
    for (; frame < 10 * kBuffer; frame += kBuffer, due += kBufferTime) clock.onCallback(frame, due);
    due += milliseconds(30);
    const auto until = due + milliseconds(250);
    for (; due < until; frame += kBuffer, due += kBufferTime) clock.onCallback(frame, due);
    EXPECT_NEAR(clock.frameAt(due), frame, 2);
    EXPECT_EQ(clock.epoch(), 0u);
}

// A stream that stood still (here 300 ms) starts a new epoch at once. A
// reopened device starts a new stream: the old estimate must not place the
// first hits, and whoever planned frames must see a new epoch.
TEST(StreamClock, AStreamThatStoodStillOrAResetStartsANewEpochAtOnce) {
    StreamClock clock(kRate);
    const auto start = StreamClock::Clock::now();
    clock.onCallback(0, start);
    clock.onCallback(kBuffer, start + kBufferTime + milliseconds(300));
    EXPECT_EQ(clock.epoch(), 1u);
    EXPECT_NEAR(clock.frameAt(start + kBufferTime + milliseconds(300)), kBuffer, 1);
    clock.reset();
    EXPECT_EQ(clock.frameAt(start), StreamClock::kUnknown);
    EXPECT_EQ(clock.epoch(), 2u);
    clock.onCallback(96000, start + seconds(5));  // frames go on counting
    EXPECT_EQ(clock.frameAt(start + seconds(5) + milliseconds(10)), 96000 + 480);
}

}  // namespace
}  // namespace trovik
