// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequencer/step_sequencer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/sequencer/step_recorder.h"

namespace trovik {
namespace {

// Worked by hand: tick n of a grid that starts at frame 0 falls on
// n x interval x rate / 1000 frames, rounded to the nearest frame and a half
// frame up (7 ms at 44.1 kHz is 308.7 frames, 1 ms 44.1). Between the ticks
// worked out, every step is the interval's frames rounded down or up, so no
// tick is missing, doubled or drifting, over 10,000 steps walked on one
// beat written once (the beat model writes nothing while the window is busy).
TEST(StepSequencerTest, TicksFallOnTheNearestFrameWithoutDriftWhateverTheBlockSizes) {
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
    BeatSnapshot beat;
    beat.cellsOn = 0xFFFF;  // the bass on every step
    for (const Grid& grid : grids) {
        SCOPED_TRACE(::testing::Message() << grid.rate << " Hz, " << grid.interval << " ms");
        beat.interval = static_cast<std::int16_t>(grid.interval);
        SequencerLink link;
        link.snapshots.write(beat);
        StepRecorder recorder(link, grid.rate);
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

}  // namespace
}  // namespace trovik
