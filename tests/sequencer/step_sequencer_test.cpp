// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequencer/step_sequencer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
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

TEST(StepTimelineTest, TempoIntervalAndStepsOfTheBar) {
    EXPECT_DOUBLE_EQ(tempoOfInterval(150), 100.0);
    EXPECT_DOUBLE_EQ(stepMilliseconds(120.0), 125.0);
    const std::pair<double, ShownInterval> shown[] = {{120.0, {125, false}},
                                                      {15000.0 / 999.4, {999, false}},
                                                      {15.0, {999, true}},
                                                      {40000.0, {1, true}},
                                                      {0.0, {999, true}}};
    for (const auto& [bpm, interval] : shown) {
        EXPECT_EQ(shownInterval(bpm).milliseconds, interval.milliseconds) << bpm;
        EXPECT_EQ(shownInterval(bpm).clamped, interval.clamped) << bpm;
    }
    EXPECT_EQ(stepOfSixteenth(0), 1);
    EXPECT_EQ(stepOfSixteenth(17), 2);
    EXPECT_EQ(stepOfSixteenth(-1), 16);
}

// A timeline at 120 BPM (a sixteenth every 6000 frames at 48 kHz) that
// tells, block by block, the sixteenth `at(frame)` of the block's first frame.
class ScriptedTimeline : public StepTimeline {
  public:
    static constexpr double kPerFrame = 1.0 / 6000;
    explicit ScriptedTimeline(std::function<double(std::int64_t)> at) : at_(std::move(at)) {}
    TimelineSpan span(std::int64_t, int frames, int) override {
        const TimelineSpan told{following, true, at_(frame_), kPerFrame};
        frame_ += frames;
        return told;
    }
    bool following = true;

  private:
    std::function<double(std::int64_t)> at_;
    std::int64_t frame_ = 0;
};

// The bass on every step and the snare on `snareStep`.
BeatSnapshot bassAndSnareOn(int snareStep) {
    BeatSnapshot beat;
    beat.cellsOn = 0xFFFF | std::uint64_t{1}
                                << (cellNumber(Track::Snare, snareStep) - kFirstCellNumber);
    return beat;
}

struct TrackFrames {
    std::vector<std::int64_t> bass, snare;
};
TrackFrames hitFrames(StepRecorder& recorder) {
    TrackFrames frames;
    for (const Hit& hit : recorder.takeHits())
        (hit.track == Track::Bass ? frames.bass : frames.snare).push_back(hit.frame);
    return frames;
}

// Every sixteenth once, on its frame, step 1 on the bar's first beat, none
// in the count-in (two beats), though each block is told a little early or
// late (the jitter of the callbacks' times); when the session goes (its last
// peer left), the own grid goes on one interval after the last tick.
TEST(StepTimelineTest, TheStepsFollowTheSessionOnTheirFramesAndGoOnWhenItGoes) {
    SequencerLink link;
    link.snapshots.write(bassAndSnareOn(1));
    StepRecorder recorder(link, 48000);
    ScriptedTimeline session([](std::int64_t frame) {
        const double jitter = frame / 250 % 2 == 0 ? 0.7 : -0.7;
        return -8.0 + (static_cast<double>(frame) + jitter) * ScriptedTimeline::kPerFrame;
    });
    recorder.clock().follow(&session);
    recorder.walkBlocks(24 * 40, 250);  // 40 sixteenths
    const TrackFrames heard = hitFrames(recorder);
    ASSERT_EQ(heard.bass.size(), 32u);
    for (std::size_t i = 0; i < heard.bass.size(); ++i)
        EXPECT_EQ(heard.bass[i], 48000 + 6000 * std::int64_t(i));
    EXPECT_EQ(heard.snare, (std::vector<std::int64_t>{48000, 48000 + 16 * 6000}));

    session.following = false;
    recorder.walkBlocks(24 * 2, 250);
    const std::vector<Hit> own = recorder.takeHits();
    ASSERT_FALSE(own.empty());
    EXPECT_EQ(own.front().frame, heard.bass.back() + tickFrame(1, 150, 48000));
}

// A transport relocated while rolling: 1.5 sixteenths in, at frame 9000, it
// jumps to sixteenth 8 (step 9), which sounds at once; the steps go on from
// there.
TEST(StepTimelineTest, ARelocationPlaysOnFromWhereTheNewPositionFalls) {
    SequencerLink link;
    link.snapshots.write(bassAndSnareOn(9));
    StepRecorder recorder(link, 48000);
    ScriptedTimeline transport([](std::int64_t frame) {
        return frame < 9000 ? frame / 6000.0 : 8.0 + (frame - 9000) / 6000.0;
    });
    recorder.clock().follow(&transport);
    recorder.walkBlocks(96, 250);
    const TrackFrames heard = hitFrames(recorder);
    EXPECT_EQ(heard.bass, (std::vector<std::int64_t>{0, 6000, 9000, 15000, 21000}));
    EXPECT_EQ(heard.snare, (std::vector<std::int64_t>{9000}));
}

}  // namespace
}  // namespace trovik
