// SPDX-License-Identifier: GPL-3.0-or-later
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
             const std::function<std::int64_t(int)>& delayOf) {
    int dry = 0;
    for (int n = 0; n < callbacks; ++n) {
        const std::int64_t now = n * kBlockNanoseconds + delayOf(n);
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

// None of these is a stream that ran dry: a server that takes two buffers
// at a time, a new stream that stands still for two seconds before it
// starts. Jitter, four at a time and a card off the system clock: the
// device keeper test, on every buffer size.
TEST(DryStreamDetector, BurstsAndAStartingStreamAreNotDry) {
    const std::pair<const char*, std::function<std::int64_t(int)>> paces[] = {
        {"two at a time", [](int n) { return n % 2 == 0 ? kBlockNanoseconds : 0; }},
        {"a slow start", [](int n) { return n >= 2 ? 2'000'000'000 : 0; }}};
    for (const auto& [name, delayOf] : paces) {
        DryStreamDetector detector(kRate);
        EXPECT_EQ(dryTimes(detector, 20000, delayOf), 0) << name;
    }
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
