#include "stream_clock.h"

#include <gtest/gtest.h>

namespace trovik {
namespace {

using namespace std::chrono;
constexpr int kRate = 48000;
constexpr int kBuffer = 256;
const auto kBufferTime = nanoseconds(std::int64_t{kBuffer} * 1'000'000'000 / kRate);

TEST(StreamClock, KnowsNothingBeforeTheFirstCallback) {
    const StreamClock clock(kRate);
    EXPECT_EQ(clock.frameAt(StreamClock::Clock::now()), StreamClock::kUnknown);
}

TEST(StreamClock, LateCallbacksDoNotMoveTheEstimate) {
    StreamClock clock(kRate);
    const auto start = StreamClock::Clock::now();
    for (int i = 0; i < 100; ++i) {
        const auto lateness = microseconds((i * 7919) % 3000);  // 0 to 3 ms late
        clock.onCallback(std::int64_t{i} * kBuffer, start + i * kBufferTime + lateness);
    }
    EXPECT_NEAR(clock.frameAt(start + milliseconds(500)), 24000, 1);
}

TEST(StreamClock, FollowsAStreamThatStalled) {
    StreamClock clock(kRate);
    const auto start = StreamClock::Clock::now();
    std::int64_t frame = 0;
    auto now = start;
    for (int i = 0; i < 300; ++i, frame += kBuffer, now += kBufferTime) clock.onCallback(frame, now);
    now += milliseconds(80);  // the device stopped pulling for 80 ms
    for (int i = 0; i < 600; ++i, frame += kBuffer, now += kBufferTime) clock.onCallback(frame, now);
    EXPECT_NEAR(clock.frameAt(now), frame, 2);
}

}  // namespace
}  // namespace trovik
