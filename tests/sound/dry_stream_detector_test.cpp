// SPDX-License-Identifier: GPL-3.0-or-later
// When the stream ran dry, told from the times of the callbacks alone.
#include "sound/dry_stream_detector.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "sequencer/steady_time.h"

namespace trovik {
namespace {

constexpr int kRate = 48000;

// Feeds `callbacks` callbacks of `block` frames each; `delayOf(n, b)` moves
// the n-th off the steady pace, b being a block's nanoseconds. The times
// the detector says "dry", and the sum of the gaps it tells.
std::pair<int, std::int64_t> judge(DryStreamDetector& detector, int callbacks, int block,
                                   const std::function<std::int64_t(int, std::int64_t)>& delayOf) {
    const std::int64_t blockNanoseconds = std::int64_t{block} * 1'000'000'000 / kRate;
    int dryTimes = 0;
    std::int64_t gaps = 0;
    for (int n = 0; n < callbacks; ++n) {
        const std::int64_t now = n * blockNanoseconds + delayOf(n, blockNanoseconds);
        const std::int64_t gap = detector.callback(now, block);
        dryTimes += gap > 0 ? 1 : 0;
        gaps += gap;
    }
    return {dryTimes, gaps};
}

// A gap moves every later callback: one lost buffer, a longer hole or a
// shorter one, on a steady card or on one 0.6% slow, is told once, with its
// length; a few gaps close together, all of them.
TEST(DryStreamDetector, AGapThatMovesEveryLaterCallbackIsToldOnceWithItsLength) {
    for (const int slowPerMillion : {0, 6000}) {
        for (const std::int64_t gap : {1'500'000, 10'666'666, 90'000'000}) {
            DryStreamDetector detector(kRate);
            const auto [dryTimes, gaps] = judge(detector, 3000, 512, [&](int n, std::int64_t b) {
                return n * b * slowPerMillion / 1'000'000 + (n >= 1500 ? gap : 0);
            });
            EXPECT_EQ(dryTimes, 1) << gap << ", slow " << slowPerMillion;
            EXPECT_NEAR(static_cast<double>(gaps), static_cast<double>(gap), 1e6) << gap;
        }
    }
    DryStreamDetector detector(kRate);
    const auto threeGaps = [](int n, std::int64_t) {
        return ((n >= 1500) + (n >= 1540) + (n >= 1580)) * std::int64_t{3'000'000};
    };
    EXPECT_NEAR(static_cast<double>(judge(detector, 3000, 512, threeGaps).second), 9e6, 1e6)
        << "three gaps within a second, told as they come or together";
}

// None of these is a stream that ran dry, at the smallest and the largest
// buffer: a server that takes two or 64 buffers at a time (asking when the
// first is due, or the last), a new stream that stands still for two
// seconds before it starts, a card 0.6% slow, callbacks 3 ms late for 0.7 s
// that come back to their schedule, once or again and again.
TEST(DryStreamDetector, BurstsASlowCardALateSpellAndAStartingStreamAreNotDry) {
    const auto spell = [](int n, std::int64_t block) {
        return n * block % 5'000'000'000 < 700'000'000 ? 3'000'000 : 0;
    };
    const std::pair<const char*, std::function<std::int64_t(int, std::int64_t)>> paces[] = {
        {"two at a time", [](int n, std::int64_t block) { return n % 2 == 0 ? block : 0; }},
        {"64 at a time, when the last is due",
         [](int n, std::int64_t block) { return (63 - n % 64) * block; }},
        {"64 at a time, when the first is due",
         [](int n, std::int64_t block) { return -(n % 64) * block; }},
        {"a slow start", [](int n, std::int64_t) { return n >= 2 ? 2'000'000'000 : 0; }},
        {"0.6% slow", [](int n, std::int64_t block) { return n * block * 6 / 1000; }},
        {"late spells", [&](int n, std::int64_t block) { return n < 1000 ? 0 : spell(n, block); }}};
    for (const int block : {512, 2048}) {
        for (const auto& [name, delayOf] : paces) {
            DryStreamDetector detector(kRate);
            EXPECT_EQ(judge(detector, 20000, block, delayOf).first, 0) << name << ", " << block;
        }
    }
}

// Days of play: the frames played, turned into time, overflow nothing.
TEST(DryStreamDetector, DaysOfPlayOverflowNothing) {
    DryStreamDetector detector(kRate);
    constexpr int kHuge = 2'000'000'000;  // frames, 11.6 h at 48 kHz
    const std::int64_t hugeNanoseconds = nanosecondsIn(kHuge, kRate);
    int dryTimes = 0;
    for (int n = 0; n < 10; ++n) dryTimes += detector.callback(n * hugeNanoseconds, kHuge) > 0;
    const std::int64_t start = 10 * hugeNanoseconds;
    dryTimes += judge(detector, 1000, 512, [=](int, std::int64_t) { return start; }).first;
    EXPECT_EQ(dryTimes, 0);
}

TEST(DryStreamDetector, ANewStreamOwesNothingToTheOldOne) {
    DryStreamDetector detector(kRate);
    judge(detector, 1000, 512, [](int, std::int64_t) { return 0; });
    detector.restart();
    // The new stream's callbacks come on a clock of their own.
    EXPECT_EQ(judge(detector, 1000, 512, [](int, std::int64_t) { return 5'000'000'000; }).first, 0);
}

}  // namespace
}  // namespace trovik
