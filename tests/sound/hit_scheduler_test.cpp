#include "sound/hit_scheduler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace trovik {
namespace {

using std::chrono::milliseconds;
constexpr int kRate = 48000;
const GridHit::Clock::time_point kStart{std::chrono::seconds(1000)};

GridHit hitOf(std::int64_t index, int periodMs = 150, GridHit::Clock::time_point start = kStart) {
    return {start, milliseconds(periodMs), index};
}

// The frame a perfect stream clock gives for a moment `ms` after kStart,
// stretched by `ppm` (a sound card running fast) and put `offset` late.
std::int64_t cardFrame(double ms, double ppm = 0.0, std::int64_t offset = 0) {
    return offset + std::llround(ms * kRate / 1000.0 * (1.0 + ppm * 1e-6));
}

// Neither the ticks' lateness nor the estimate's jitter moves a hit: every
// hit of a grid falls a whole number of periods from the anchor, exactly.
TEST(HitScheduler, HitsOfOneGridAreWholePeriodsApartWhateverTheEstimateSays) {
    HitScheduler scheduler(kRate, kRate / 1000, kRate / 20);
    const std::int64_t anchor = scheduler.frameOf(hitOf(1), cardFrame(150), 0);
    for (std::int64_t n = 2; n < 400; ++n) {
        const std::int64_t jitter = (n * 7919) % 81 - 40;  // within +-40 frames (0.8 ms)
        EXPECT_EQ(scheduler.frameOf(hitOf(n), cardFrame(150.0 * n) + jitter, 0),
                  anchor + (n - 1) * 7200)
            << "hit " << n;
    }
    EXPECT_EQ(scheduler.anchorsFixed(), 1);
    EXPECT_EQ(scheduler.slewFrames(), 0);
}

// 20 ms at 44.1 kHz is 882 frames, but 1 ms is 44.1: the grid rounds the
// whole span from the anchor, so the error never adds up.
TEST(HitScheduler, FractionalFramesPerPeriodAreRoundedOverTheWholeSpan) {
    constexpr int kCdRate = 44100;
    HitScheduler scheduler(kCdRate, kCdRate / 1000, kCdRate / 20);
    const std::int64_t anchor = scheduler.frameOf(hitOf(0, 7), 1000, 0);
    for (std::int64_t n : {1, 2, 3, 10, 1000, 123457}) {
        const std::int64_t exact = std::llround(n * 7 * 44.1);
        const std::int64_t frame = scheduler.frameOf(hitOf(n, 7), anchor + exact, 0);
        EXPECT_EQ(frame - anchor, exact) << n << " periods";
    }
}

// A sound card whose clock runs 100 ppm fast pulls the estimate away from
// the grid; the grid follows by at most one frame a hit, never by a jump,
// and stays within the deadband plus a frame of it.
TEST(HitScheduler, DriftBetweenCardAndSystemClockIsTakenUpOneFrameAHit) {
    HitScheduler scheduler(kRate, kRate / 1000, kRate / 20);
    std::int64_t previous = scheduler.frameOf(hitOf(1, 50), cardFrame(50, 100), 0);
    std::int64_t worst = 0;
    for (std::int64_t n = 2; n < 3000; ++n) {
        const std::int64_t estimate = cardFrame(50.0 * n, 100);
        const std::int64_t frame = scheduler.frameOf(hitOf(n, 50), estimate, 0);
        const std::int64_t step = frame - previous - 2400;
        ASSERT_GE(step, -1) << "hit " << n;
        ASSERT_LE(step, 1) << "hit " << n;
        worst = std::max(worst, std::abs(estimate - frame));
        previous = frame;
    }
    EXPECT_LE(worst, kRate / 1000 + 1);
    EXPECT_GT(scheduler.slewFrames(), 0);
    EXPECT_EQ(scheduler.anchorsFixed(), 1);
}

// A new grid (Play, another tempo), a new epoch of the stream clock (a
// dropout, a reopened device) and an estimate far off the grid each fix a
// new anchor on the estimate; an unknown clock gives no frame.
TEST(HitScheduler, ANewGridEpochOrStallFixesANewAnchor) {
    HitScheduler scheduler(kRate, kRate / 1000, kRate / 20);
    scheduler.frameOf(hitOf(1), 7200, 0);
    EXPECT_EQ(scheduler.frameOf(hitOf(2), 14400 + 30, 0), 14400);

    const auto restarted = kStart + milliseconds(400);
    EXPECT_EQ(scheduler.frameOf(hitOf(1, 150, restarted), 27000, 0), 27000) << "new start";
    EXPECT_EQ(scheduler.frameOf(hitOf(1, 20, restarted), 21000, 0), 21000) << "new period";
    EXPECT_EQ(scheduler.frameOf(hitOf(2, 20, restarted), 22000, 1), 22000) << "new epoch";
    EXPECT_EQ(scheduler.frameOf(hitOf(3, 20, restarted), 22960 + 2401, 1), 22960 + 2401)
        << "50 ms off: the stream stalled";
    EXPECT_EQ(scheduler.frameOf(hitOf(4, 20, restarted), 26321 - 100, 1), 26321 - 1)
        << "back on the new anchor's grid, slewing by one frame";
    EXPECT_EQ(scheduler.anchorsFixed(), 5);

    EXPECT_EQ(scheduler.frameOf(hitOf(5, 20, restarted), HitScheduler::kUnknown, 1),
              HitScheduler::kUnknown);
    EXPECT_EQ(scheduler.frameOf(hitOf(6, 20, restarted), 30000, 1), 30000)
        << "after an unknown clock the next hit anchors anew";
}

// A grid ahead of the stream clock plans hits for frames that may already
// be rendered when their tick comes: it is anchored anew sooner than one
// that lags behind, which only adds latency.
TEST(HitScheduler, AGridAheadOfTheClockIsAnchoredAnewSoonerThanOneBehind) {
    HitScheduler scheduler(kRate, 96, 480, 144);
    scheduler.frameOf(hitOf(1), 7200, 0);
    EXPECT_EQ(scheduler.frameOf(hitOf(2), 14400 - 400, 0), 14400 - 1) << "behind: slewed";
    EXPECT_EQ(scheduler.frameOf(hitOf(3), 21600 - 1 + 150, 0), 21600 - 1 + 150)
        << "ahead: anchored";
    EXPECT_EQ(scheduler.anchorsFixed(), 2);
}

}  // namespace
}  // namespace trovik
