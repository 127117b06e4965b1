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
// n-th off the steady pace. Counts the times the detector says "dry", and
// adds up the gaps it tells.
struct Verdicts {
    int dryTimes = 0;
    std::int64_t gaps = 0;
};
Verdicts judge(DryStreamDetector& detector, int callbacks,
               const std::function<std::int64_t(int)>& delayOf) {
    Verdicts verdicts;
    for (int n = 0; n < callbacks; ++n) {
        const std::int64_t gap = detector.callback(n * kBlockNanoseconds + delayOf(n), kBlock);
        verdicts.dryTimes += gap > 0 ? 1 : 0;
        verdicts.gaps += gap;
    }
    return verdicts;
}

// A gap moves every later callback: one lost buffer, or a longer hole, is
// told once, with its length.
TEST(DryStreamDetector, AGapThatMovesEveryLaterCallbackIsToldOnceWithItsLength) {
    for (const std::int64_t gap : {kBlockNanoseconds, std::int64_t{90'000'000}}) {
        DryStreamDetector detector(kRate);
        const Verdicts verdicts = judge(detector, 2000, [&](int n) { return n >= 500 ? gap : 0; });
        EXPECT_EQ(verdicts.dryTimes, 1) << gap;
        EXPECT_NEAR(static_cast<double>(verdicts.gaps), static_cast<double>(gap), 100'000) << gap;
    }
}

// None of these is a stream that ran dry: a server that takes two or 64
// buffers at a time (asking when the first is due, or the last), a new
// stream that stands still for two seconds before it starts, a card 0.6%
// slow, callbacks 3 ms late for 0.7 s that come back to their schedule.
TEST(DryStreamDetector, BurstsASlowCardALateSpellAndAStartingStreamAreNotDry) {
    const auto spellAt = [](int from) {
        const int blocksIn07s = static_cast<int>(700'000'000 / kBlockNanoseconds);
        return [=](int n) { return n >= from && n < from + blocksIn07s ? 3'000'000 : 0; };
    };
    const std::pair<const char*, std::function<std::int64_t(int)>> paces[] = {
        {"two at a time", [](int n) { return n % 2 == 0 ? kBlockNanoseconds : 0; }},
        {"64 at a time, when the last is due",
         [](int n) { return (63 - n % 64) * kBlockNanoseconds; }},
        {"64 at a time, when the first is due",
         [](int n) { return -(n % 64) * kBlockNanoseconds; }},
        {"a slow start", [](int n) { return n >= 2 ? 2'000'000'000 : 0; }},
        {"0.6% slow", [](int n) { return n * kBlockNanoseconds * 6 / 1000; }},
        {"a late spell", spellAt(1000)},
        {"late spells again and again", [&](int n) { return spellAt(1000)(n % 400 + 1000); }}};
    for (const auto& [name, delayOf] : paces) {
        DryStreamDetector detector(kRate);
        EXPECT_EQ(judge(detector, 20000, delayOf).dryTimes, 0) << name;
    }
}

// Days of play: the frames played, turned into time, overflow nothing.
TEST(DryStreamDetector, DaysOfPlayOverflowNothing) {
    DryStreamDetector detector(kRate);
    constexpr int kHuge = 2'000'000'000;  // frames, 11.6 h at 48 kHz
    const std::int64_t hugeNanoseconds = std::int64_t{kHuge} / kRate * 1'000'000'000 +
                                         std::int64_t{kHuge} % kRate * 1'000'000'000 / kRate;
    std::int64_t now = 0;
    int dry = 0;
    for (int n = 0; n < 10; ++n, now += hugeNanoseconds) dry += detector.callback(now, kHuge) > 0;
    for (int n = 0; n < 1000; ++n, now += kBlockNanoseconds)
        dry += detector.callback(now, kBlock) > 0;
    EXPECT_EQ(dry, 0);
}

TEST(DryStreamDetector, ANewStreamOwesNothingToTheOldOne) {
    DryStreamDetector detector(kRate);
    judge(detector, 1000, [](int) { return 0; });
    detector.restart();
    // The new stream's callbacks come on a clock of their own.
    EXPECT_EQ(judge(detector, 1000, [](int) { return 5'000'000'000; }).dryTimes, 0);
}

}  // namespace
}  // namespace trovik
