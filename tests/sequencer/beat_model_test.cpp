// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequencer/beat_model.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <utility>
#include <vector>

#include "tests/sequencer/step_recorder.h"

namespace trovik {
namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 512;
constexpr std::int64_t kFramesPerMs = kRate / 1000;

// The model and the step clock behind it, joined by a real link: the model
// writes, the recorder walks the step clock as the audio thread would.
class BeatModelTest : public ::testing::Test {
  protected:
    SequencerLink link;
    BeatModel model{link};
    StepRecorder clock{link, kRate};

    std::vector<int> positionsShown;
    int transportChanges = 0;

    void SetUp() override {
        QObject::connect(&model, &BeatModel::positionChanged,
                         [this](int position) { positionsShown.push_back(position); });
        QObject::connect(&model, &BeatModel::transportChanged, [this] { ++transportChanges; });
    }

    // Walks whole blocks until the step clock has played `ticks` steps in all.
    void walkUntilTicks(std::uint64_t ticks) { clock.walkUntilTicks(ticks, {kBlock}); }
    void walkUntilPosition(int position) { clock.walkUntilPosition(position, kBlock); }
};

// --- Cells and switches ---

TEST_F(BeatModelTest, AnOtherCaptionCountsAsOnButAClickLeavesIt) {
    const std::pair<int, const char*> others[] = {{7, "x"}, {8, "o"}, {9, "O "}};  // bass 5 to 7
    std::array<QString, kCellCount> captions;
    for (const auto& [number, caption] : others) captions[number - 3] = caption;
    model.rewind();
    model.load(20, captions);
    for (const auto& [number, caption] : others) {
        model.StepCell_Click(number);
        EXPECT_EQ(model.caption(number), caption);
    }

    const std::int64_t start = clock.framesWalked();
    walkUntilTicks(16);
    EXPECT_EQ(clock.hits(), (std::vector<Hit>{{Track::Bass, tickFrame(5, 20, kRate, start)},
                                              {Track::Bass, tickFrame(6, 20, kRate, start)},
                                              {Track::Bass, tickFrame(7, 20, kRate, start)}}));
}

// Command3 to Command18 are bass steps 1 to 16, Command19 to Command34
// snare steps 16 to 1, Command35 to Command50 effect steps 1 to 16: each
// cell must sound on its own step of its own track.
TEST_F(BeatModelTest, EachCellSoundsOnItsOwnTrackAndStep) {
    using P = std::pair<Track, int>;
    model.setInterval(20);
    for (int number = 3; number <= 50; ++number) {
        model.StepCell_Click(number);
        model.Command2_Click();
        model.Command1_Click();
        const std::int64_t start = clock.framesWalked();
        walkUntilTicks(clock.ticksPlayed() + 16);
        const std::vector<Hit> hits = clock.takeHits();
        model.StepCell_Click(number);
        ASSERT_EQ(hits.size(), 1u) << "Command" << number;
        const int step = static_cast<int>((hits[0].frame - start) / (20 * kFramesPerMs));
        const P expected = number <= 18   ? P(Track::Bass, number - 2)
                           : number <= 34 ? P(Track::Snare, 35 - number)
                                          : P(Track::Effect, number - 34);
        EXPECT_EQ(P(hits[0].track, step), expected) << "Command" << number;
    }
}

// --- Play, Stop, tempo, Load ---

TEST_F(BeatModelTest, StopRewindsAndHaltsAndPlayStartsStep1OneIntervalAfterTheBlockThatSawIt) {
    model.StepCell_Click(3);  // bass steps 1 and 2
    model.StepCell_Click(4);
    walkUntilPosition(9);
    clock.takeHits();
    positionsShown.clear();

    model.Command2_Click();
    EXPECT_FALSE(model.running());
    EXPECT_EQ(model.position(), 1) << "at once, before the step clock walks again";
    EXPECT_EQ(positionsShown, std::vector<int>{1});
    EXPECT_EQ(transportChanges, 1);
    model.Command2_Click();
    EXPECT_EQ(transportChanges, 1) << "Stop while stopped changes nothing";
    model.setInterval(400);  // a new tempo waits for Play
    EXPECT_EQ(transportChanges, 2);
    const std::uint64_t ticksBefore = clock.ticksPlayed();
    clock.walkBlocks(1'000, kBlock);
    EXPECT_EQ(clock.ticksPlayed(), ticksBefore);
    EXPECT_EQ(clock.told().position, 1);
    EXPECT_TRUE(clock.hits().empty());

    clock.walk(100);  // Play in the middle of the stream, not on a block boundary
    model.Command1_Click();
    const std::int64_t start = clock.framesWalked();
    clock.walkBlocks(5, kBlock);
    model.Command1_Click();  // again, in the middle of the countdown
    walkUntilTicks(ticksBefore + 2);
    EXPECT_EQ(clock.hits(), (std::vector<Hit>{{Track::Bass, tickFrame(1, 400, kRate, start)},
                                              {Track::Bass, tickFrame(2, 400, kRate, start)}}))
        << "step 1 one whole interval after Play, not restarted by the second Play";
    EXPECT_EQ(transportChanges, 3);

    clock.walkBlocks(3, kBlock);
    clock.takeHits();
    model.Command2_Click();  // and Play again before the next block
    model.Command1_Click();
    const std::int64_t restart = clock.framesWalked();
    walkUntilTicks(clock.ticksPlayed() + 1);
    EXPECT_EQ(clock.hits(), (std::vector<Hit>{{Track::Bass, tickFrame(1, 400, kRate, restart)}}))
        << "Stop and Play between two blocks restart the countdown from step 1";
}

// A new interval restarts the countdown and the same one does not; interval
// 0 halts where it is and raising it resumes from there.
TEST_F(BeatModelTest, ANewIntervalRestartsTheCountdownAndZeroHaltsIt) {
    model.StepCell_Click(18);  // bass step 16
    walkUntilPosition(16);
    clock.walkBlocks(3, kBlock);
    model.setInterval(150);
    EXPECT_EQ(transportChanges, 0);
    walkUntilTicks(16);
    EXPECT_EQ(clock.takeHits(), (std::vector<Hit>{{Track::Bass, tickFrame(16, 150, kRate)}}))
        << "the same interval again leaves the countdown alone";

    walkUntilPosition(16);
    clock.walkBlocks(3, kBlock);
    model.setInterval(20);
    EXPECT_EQ(transportChanges, 1);
    std::int64_t restart = clock.framesWalked();
    walkUntilTicks(clock.ticksPlayed() + 1);
    EXPECT_EQ(clock.takeHits(), (std::vector<Hit>{{Track::Bass, tickFrame(1, 20, kRate, restart)}}))
        << "position 16 kept, step 16 played one new interval later";

    walkUntilPosition(16);
    model.setInterval(-5);
    EXPECT_EQ(model.interval(), 0);
    EXPECT_TRUE(model.running()) << "the flag stays; only the clock halts";
    const std::uint64_t ticks = clock.ticksPlayed();
    clock.walkBlocks(1'000, kBlock);
    EXPECT_EQ(clock.ticksPlayed(), ticks);
    EXPECT_EQ(model.position(), 16);
    model.setInterval(1);
    restart = clock.framesWalked();
    walkUntilTicks(ticks + 1);
    EXPECT_EQ(clock.hits(), (std::vector<Hit>{{Track::Bass, tickFrame(1, 1, kRate, restart)}}));
    model.setInterval(5000);
    EXPECT_EQ(model.interval(), 999);
}

// The position Load (and Stop) sets counts until the step clock took it.
TEST_F(BeatModelTest, LoadPutsThePositionTo1WithoutTouchingTheRunningFlag) {
    std::array<QString, kCellCount> captions;
    captions[35 - 3] = "O";  // effect step 1
    walkUntilPosition(9);
    model.followPosition();
    positionsShown.clear();
    model.rewind();
    model.load(150, captions);
    EXPECT_EQ(clock.told().position, 9) << "the step clock has not walked since";
    EXPECT_TRUE(model.running());
    EXPECT_EQ(model.position(), 1);
    EXPECT_EQ(model.caption(35), "O");
    model.followPosition();
    EXPECT_EQ(positionsShown, std::vector<int>{1}) << "told once, by the rewind itself";
    const std::int64_t loadedAt = clock.framesWalked();
    walkUntilTicks(clock.ticksPlayed() + 1);
    ASSERT_EQ(clock.hits().size(), 1u);
    EXPECT_EQ(clock.hits()[0].track, Track::Effect) << "the loaded beat plays from step 1";
    EXPECT_LT(clock.hits()[0].frame, loadedAt + 150 * kFramesPerMs)
        << "the same interval keeps the countdown";
    EXPECT_EQ(model.position(), 2) << "then the clock's own position again";
    model.followPosition();
    EXPECT_EQ(positionsShown, (std::vector<int>{1, 2}));

    model.Command2_Click();
    clock.takeHits();
    model.rewind();
    model.load(20, captions);
    EXPECT_FALSE(model.running());
    clock.walkBlocks(1'000, kBlock);
    EXPECT_TRUE(clock.hits().empty());
}

// --- When the position moves next ---

// With the stream walked one block at a time, the window learns of a step
// when the block that plays it has been walked: the time told must not fall
// before that walk, nor a whole block after it.
// Before the clock first walks the window looks again at once; halted it
// does not look again until told to (stopped: the window test).
TEST_F(BeatModelTest, TheNextStepIsDueWhenTheBlockThatPlaysItIsWalked) {
    constexpr std::int64_t kBlockNs = std::int64_t{kBlock} * 1'000'000'000 / kRate;
    EXPECT_EQ(model.untilNextStep(), std::chrono::nanoseconds(0));
    for (int block = 0; block < 40; ++block) {
        SCOPED_TRACE(block);
        const std::int64_t before = steadyNanoseconds();
        clock.walk(kBlock);
        const std::optional<std::chrono::nanoseconds> until = model.untilNextStep();
        const std::int64_t after = steadyNanoseconds();
        ASSERT_TRUE(until);
        const StepFeedback told = clock.told();
        const std::int64_t blocksAhead = (told.nextTickFrame - told.framesWalked) / kBlock + 1;
        // The time told counts from a moment between `before` and `after`.
        EXPECT_GE(until->count() + (after - before), blocksAhead * kBlockNs);
        EXPECT_LT(until->count(), (blocksAhead + 1) * kBlockNs);
    }

    model.setInterval(0);
    EXPECT_FALSE(model.untilNextStep()) << "halted at interval 0";
    clock.walk(kBlock);
    EXPECT_FALSE(model.untilNextStep());
}

// --- Two threads ---

// The model on this thread, the step clock on another, as in the program:
// all bass cells stay on while the rest of the beat keeps changing, so every
// step must play the bass first, once.
TEST(BeatModelThreads, AStepClockOnItsOwnThreadPlaysEveryStepWhileTheBeatChanges) {
    SequencerLink link;
    BeatModel model(link);
    for (int number = 3; number <= 18; ++number) model.StepCell_Click(number);
    model.setInterval(1);

    std::atomic<int> blocksWalked{0};
    std::atomic<bool> done{false};
    std::vector<Hit> hits;
    std::uint64_t ticks = 0;
    std::thread audio([&] {
        StepRecorder clock(link, kRate);
        while (!done.load()) {
            clock.walk(64);
            blocksWalked.fetch_add(1);
        }
        hits = clock.takeHits();
        ticks = clock.ticksPlayed();
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (blocksWalked.load() < 10 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();

    int badPositions = 0;
    for (int round = 0; round < 3'000; ++round) {
        model.StepCell_Click(19 + round % 32);
        model.TrackSwitch_Click(round % 2 == 0 ? Track::Snare : Track::Effect);
        model.setInterval(1 + round % 3);
        if (round % 100 == 0) {
            model.Command2_Click();
            model.Command1_Click();
        }
        model.followPosition();
        const int position = model.position();
        if (position < 1 || position > kSteps) ++badPositions;
        (void)model.untilNextStep();
    }
    done.store(true);
    audio.join();

    EXPECT_EQ(badPositions, 0);
    std::uint64_t bassHits = 0;
    std::int64_t lastBass = -1;
    for (const Hit& hit : hits) {
        if (hit.track == Track::Bass) {
            ++bassHits;
            EXPECT_GT(hit.frame, lastBass);
            lastBass = hit.frame;
        } else {
            EXPECT_EQ(hit.frame, lastBass) << "a snare or effect hit comes after its step's bass";
        }
    }
    EXPECT_EQ(bassHits, ticks);
    EXPECT_GT(ticks, 0u);
}

}  // namespace
}  // namespace trovik
