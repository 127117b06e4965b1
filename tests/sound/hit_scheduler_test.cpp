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

// The frame a perfect stream clock gives for a moment `ms` after kStart.
std::int64_t cardFrame(double ms) {
    return std::llround(ms * kRate / 1000.0);
}

// Neither the ticks' lateness nor the estimate's jitter moves a hit: every
// hit of a grid falls a whole number of periods from the anchor, exactly.
TEST(HitScheduler, HitsOfOneGridAreWholePeriodsApartWhateverTheEstimateSays) {
    HitScheduler scheduler(kRate);
    const std::int64_t anchor = scheduler.frameOf(hitOf(1), cardFrame(150), 0);
    for (std::int64_t n = 2; n < 400; ++n) {
        const std::int64_t jitter = (n * 7919) % 81 - 40;  // within +-40 frames (0.8 ms)
        EXPECT_EQ(scheduler.frameOf(hitOf(n), cardFrame(150.0 * n) + jitter, 0),
                  anchor + (n - 1) * 7200)
            << "hit " << n;
    }
    EXPECT_EQ(scheduler.anchorsFixed(), 1);
}

// 20 ms at 44.1 kHz is 882 frames, but 1 ms is 44.1: the grid rounds the
// whole span from the anchor, so the error never adds up.
TEST(HitScheduler, FractionalFramesPerPeriodAreRoundedOverTheWholeSpan) {
    constexpr int kCdRate = 44100;
    HitScheduler scheduler(kCdRate);
    const std::int64_t anchor = scheduler.frameOf(hitOf(0, 7), 1000, 0);
    for (std::int64_t n : {1, 2, 3, 10, 1000, 123457}) {
        const std::int64_t exact = std::llround(n * 7 * 44.1);
        const std::int64_t frame = scheduler.frameOf(hitOf(n, 7), anchor + exact, 0);
        EXPECT_EQ(frame - anchor, exact) << n << " periods";
    }
}

// A new grid (Play, another tempo) and a new epoch of the stream's time (a
// dropout, a reopened device) each fix a new anchor on the estimate; an
// estimate however far off the grid does not; an unknown time gives no frame.
TEST(HitScheduler, OnlyANewGridOrEpochFixesANewAnchor) {
    HitScheduler scheduler(kRate);
    scheduler.frameOf(hitOf(1), 7200, 0);
    EXPECT_EQ(scheduler.frameOf(hitOf(2), 14400 + 30, 0), 14400);

    const auto restarted = kStart + milliseconds(400);
    EXPECT_EQ(scheduler.frameOf(hitOf(1, 150, restarted), 27000, 0), 27000) << "new start";
    EXPECT_EQ(scheduler.frameOf(hitOf(1, 20, restarted), 21000, 0), 21000) << "new period";
    EXPECT_EQ(scheduler.frameOf(hitOf(2, 20, restarted), 22000, 1), 22000) << "new epoch";
    EXPECT_EQ(scheduler.frameOf(hitOf(3, 20, restarted), 22960 + 2401, 1), 22960)
        << "50 ms off the grid, same epoch";
    EXPECT_EQ(scheduler.frameOf(hitOf(4, 20, restarted), 23920 - 2401, 1), 23920);
    EXPECT_EQ(scheduler.anchorsFixed(), 4);

    EXPECT_EQ(scheduler.frameOf(hitOf(5, 20, restarted), HitScheduler::kUnknown, 1),
              HitScheduler::kUnknown);
    EXPECT_EQ(scheduler.frameOf(hitOf(6, 20, restarted), 30000, 1), 30000)
        << "after an unknown clock the next hit anchors anew";
}

}  // namespace
}  // namespace trovik
