// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequencer/step_sequencer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/sequencer/step_recorder.h"

namespace trovik {
namespace {

constexpr std::uint64_t cellBit(int commandNumber) {
    return std::uint64_t{1} << (commandNumber - 3);
}
constexpr std::uint64_t kAllBassCells = 0xFFFF;  // Command3 to Command18

// Says where two long lists of hits part, rather than printing them whole.
::testing::AssertionResult sameHits(const std::vector<Hit>& actual,
                                    const std::vector<Hit>& expected) {
    for (std::size_t i = 0; i < actual.size() && i < expected.size(); ++i) {
        if (!(actual[i] == expected[i])) {
            return ::testing::AssertionFailure()
                   << "hit " << i << " is " << ::testing::PrintToString(actual[i]) << ", expected "
                   << ::testing::PrintToString(expected[i]);
        }
    }
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure()
               << actual.size() << " hits, expected " << expected.size();
    return ::testing::AssertionSuccess();
}

// Writes snapshots by hand, as the beat model would.
class StepSequencerTest : public ::testing::Test {
  protected:
    static constexpr int kRate = 48000;

    SequencerLink link;
    BeatSnapshot beat;

    void publish() { link.snapshots.write(beat); }
};

// Worked by hand: tick n of a grid that starts at frame 0 falls on
// n x interval x rate / 1000 frames, rounded to the nearest frame and a half
// frame up (7 ms at 44.1 kHz is 308.7 frames, 1 ms 44.1). Between the ticks
// worked out, every step is the interval's frames rounded down or up, so no
// tick is missing, doubled or drifting.
TEST_F(StepSequencerTest, TicksFallOnTheNearestFrameWithoutDriftWhateverTheBlockSizes) {
    struct Grid {
        int rate;
        int interval;
        std::vector<int> blocks;
        std::vector<std::pair<std::size_t, std::int64_t>> ticks;  // tick number, frame
    };
    const Grid grids[] = {
        {48000, 150, {512}, {{1, 7200}, {2, 14400}, {10000, 72'000'000}}},
        {44100, 150, {333}, {{1, 6615}, {10000, 66'150'000}}},
        {44100, 20, {512, 333, 1, 4096, 17}, {{1, 882}, {10000, 8'820'000}}},
        {44100, 7, {1}, {{1, 309}, {2, 617}, {3, 926}, {9999, 3'086'691}, {10000, 3'087'000}}},
        {44100, 1, {64, 7}, {{1, 44}, {3, 132}, {5, 221}, {15, 662}, {10000, 441'000}}}};
    constexpr std::uint64_t kTicks = 10'000;
    beat.cellsOn = kAllBassCells;
    for (const Grid& grid : grids) {
        SCOPED_TRACE(::testing::Message() << grid.rate << " Hz, " << grid.interval << " ms");
        beat.interval = static_cast<std::int16_t>(grid.interval);
        SequencerLink freshLink;
        freshLink.snapshots.write(beat);
        StepRecorder recorder(freshLink, grid.rate);
        recorder.walkUntilTicks(kTicks, grid.blocks);
        const std::vector<Hit>& hits = recorder.hits();
        ASSERT_EQ(hits.size(), recorder.ticksPlayed());
        ASSERT_GE(hits.size(), kTicks);
        for (const auto& [tick, frame] : grid.ticks) EXPECT_EQ(hits[tick - 1].frame, frame) << tick;
        const std::int64_t shortStep = std::int64_t{grid.interval} * grid.rate / 1000;
        const std::int64_t longStep = (std::int64_t{grid.interval} * grid.rate + 999) / 1000;
        int oddSteps = 0;
        for (std::size_t i = 1; i < hits.size(); ++i) {
            const std::int64_t step = hits[i].frame - hits[i - 1].frame;
            if (step != shortStep && step != longStep) ++oddSteps;
        }
        EXPECT_EQ(oddSteps, 0);
        const StepFeedback told = recorder.told();
        EXPECT_EQ(told.position, static_cast<int>(hits.size() % kSteps) + 1);
        EXPECT_GE(told.nextTickFrame - hits.back().frame, shortStep);
        EXPECT_LE(told.nextTickFrame - hits.back().frame, longStep);
    }
}

// The beat model writes nothing for as long as the window is busy; the step
// clock keeps the last beat it read and the countdown it runs.
TEST_F(StepSequencerTest, AWriterThatStallsOrRewritesTheSamePeriodLosesNoStep) {
    beat.cellsOn = kAllBassCells;
    beat.interval = 20;
    publish();
    StepRecorder recorder(link, kRate);
    recorder.walkBlocks(20'000, 480);  // 200 s, 10,000 steps
    beat.cellsOn |= cellBit(35);
    publish();  // a cell click: the period stays as it was
    recorder.walkBlocks(1, 333);
    recorder.walkBlocks(20'000, 480);

    const std::int64_t end = recorder.framesWalked();
    std::vector<Hit> expected;
    for (std::int64_t frame = 960; frame < end; frame += 960) {  // 20 ms at 48 kHz
        const std::int64_t n = frame / 960;
        expected.push_back({Track::Bass, frame});
        if (frame >= 20'000 * 480 && n % kSteps == 1) expected.push_back({Track::Effect, frame});
    }
    EXPECT_TRUE(sameHits(recorder.hits(), expected));
}

}  // namespace
}  // namespace trovik
