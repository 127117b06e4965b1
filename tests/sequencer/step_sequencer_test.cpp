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

std::vector<Hit> bassTicks(std::int64_t start, std::int64_t firstTick, std::int64_t lastTick,
                           int intervalMs, int sampleRate) {
    std::vector<Hit> hits;
    for (std::int64_t n = firstTick; n <= lastTick; ++n)
        hits.push_back({Track::Bass, tickFrame(n, intervalMs, sampleRate, start)});
    return hits;
}

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

TEST_F(StepSequencerTest, TicksFallOnTheNearestFrameWithoutDriftWhateverTheBlockSizes) {
    constexpr std::uint64_t kTicks = 10'000;
    beat.cellsOn = kAllBassCells;
    for (int rate : {48000, 44100}) {
        for (int interval : {150, 20, 7}) {
            std::vector<std::vector<int>> blockRuns{{512}, {333}, {512, 333, 1, 4096, 17}};
            if (interval == 7)
                blockRuns.push_back({1});  // longer ones would take millions of blocks
            for (const std::vector<int>& blocks : blockRuns) {
                SCOPED_TRACE(::testing::Message()
                             << rate << " Hz, " << interval << " ms, blocks of "
                             << ::testing::PrintToString(blocks));
                beat.interval = static_cast<std::int16_t>(interval);
                SequencerLink freshLink;
                freshLink.snapshots.write(beat);
                StepRecorder recorder(freshLink, rate);
                recorder.walkUntilTicks(kTicks, blocks);
                // The last block may hold a few more.
                std::int64_t played = kTicks;
                while (tickFrame(played + 1, interval, rate) < recorder.framesWalked()) ++played;
                EXPECT_TRUE(sameHits(recorder.hits(), bassTicks(0, 1, played, interval, rate)));
                EXPECT_EQ(recorder.told().position, static_cast<int>(played % kSteps) + 1);
                EXPECT_EQ(recorder.told().nextTickFrame, tickFrame(played + 1, interval, rate));
            }
        }
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
    for (std::int64_t n = 1; tickFrame(n, 20, kRate) < end; ++n) {
        const std::int64_t frame = tickFrame(n, 20, kRate);
        expected.push_back({Track::Bass, frame});
        if (frame >= 20'000 * 480 && n % kSteps == 1) expected.push_back({Track::Effect, frame});
    }
    EXPECT_TRUE(sameHits(recorder.hits(), expected));
}

}  // namespace
}  // namespace trovik
