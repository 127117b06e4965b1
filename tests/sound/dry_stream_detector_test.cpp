// When the stream ran dry, told from the times of the callbacks alone.
#include "sound/dry_stream_detector.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

namespace trovik {
namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 512;
constexpr std::int64_t kBlockNanoseconds = std::int64_t{kBlock} * 1'000'000'000 / kRate;

// Feeds `callbacks` callbacks of one block each; `delayOf(n)` moves the
// n-th off the steady pace. Counts the times the detector says "dry".
int dryTimes(DryStreamDetector& detector, int callbacks,
             const std::function<std::int64_t(int)>& delayOf, double clockScale = 1.0) {
    int dry = 0;
    for (int n = 0; n < callbacks; ++n) {
        const auto now = static_cast<std::int64_t>(n * kBlockNanoseconds * clockScale) + delayOf(n);
        if (detector.callback(now, kBlock)) ++dry;
    }
    return dry;
}

TEST(DryStreamDetector, AGapThatMovesEveryLaterCallbackIsToldOnce) {
    DryStreamDetector detector(kRate);
    const int gapAt = 500;
    const std::int64_t gap = 6'000'000;
    EXPECT_EQ(dryTimes(detector, 2000, [&](int n) { return n >= gapAt ? gap : 0; }), 1);
}

// None of these is a stream that ran dry: jitter, a server that takes two or
// four buffers at a time, a card 300 ppm off the system clock, a new stream
// that stands still for two seconds before it starts.
TEST(DryStreamDetector, JitterBurstsDriftAndAStartingStreamAreNotDry) {
    const std::pair<const char*, std::function<std::int64_t(int)>> paces[] = {
        {"jitter", [](int n) { return (n * 7919 % 13) * 100'000; }},
        {"two at a time", [](int n) { return n % 2 == 0 ? kBlockNanoseconds : 0; }},
        {"four at a time", [](int n) { return (3 - n % 4) * kBlockNanoseconds; }},
        {"a slow start", [](int n) { return n >= 2 ? 2'000'000'000 : 0; }}};
    for (const auto& [name, delayOf] : paces) {
        DryStreamDetector detector(kRate);
        EXPECT_EQ(dryTimes(detector, 20000, delayOf), 0) << name;
    }
    DryStreamDetector drifting(kRate);
    EXPECT_EQ(dryTimes(
                  drifting, 20000, [](int) { return 0; }, 1.0003),
              0)
        << "300 ppm slow";
}

TEST(DryStreamDetector, ANewStreamOwesNothingToTheOldOne) {
    DryStreamDetector detector(kRate);
    dryTimes(detector, 1000, [](int) { return 0; });
    detector.restart();
    // The new stream's callbacks come on a clock of their own.
    EXPECT_EQ(dryTimes(detector, 1000, [](int) { return 5'000'000'000; }), 0);
}

}  // namespace
}  // namespace trovik
