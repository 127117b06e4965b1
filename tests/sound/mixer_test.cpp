// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/mixer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/sound/beat_for_tests.h"

namespace trovik {
namespace {

using testing::Beat;
using testing::LoanLedger;
using testing::rampSample;
using testing::renderLeft;

constexpr int kRate = 48000;

// Every sample is a ramp from its own base, so the output tells which one
// plays and from where: bass 1000.., snare 2000.., effect 3000...
class MixerTest : public ::testing::Test {
  protected:
    SequencerLink link;
    TrackSlots slots;
    LoanLedger ledger{slots};
    Mixer mixer{link, slots, kRate};
    std::unique_ptr<Sample> bass = rampSample(1000, 300);
    std::unique_ptr<Sample> snare = rampSample(2000, 300);
    std::unique_ptr<Sample> effect = rampSample(3000, 300);

    void offerDrums() {
        ledger.offer(Track::Bass, *bass);
        ledger.offer(Track::Snare, *snare);
        ledger.offer(Track::Effect, *effect);
    }
    void play(const Beat& beat) { link.snapshots.write(beat.snapshot()); }
};

std::vector<float> expectedRamps(int frames, const std::vector<std::int64_t>& starts, float base,
                                 int length) {
    std::vector<float> left(static_cast<std::size_t>(frames), 0.0f);
    for (const std::int64_t start : starts) {
        for (int i = 0; i < length && start + i < frames; ++i)
            left[static_cast<std::size_t>(start + i)] = base + static_cast<float>(i);
    }
    return left;
}

// The step falls where the grid puts it, whatever the block it lands in: a
// block of one frame, one ending just before or just after the step, or one
// holding several steps. At 44.1 kHz and 7 ms the steps are 308.7 frames
// apart, so the rounding of every tick shows too.
TEST(MixerHits, StartOnTheirExactFrameWhateverTheBlockSize) {
    constexpr int kRate441 = 44100;
    constexpr int kInterval = 7;
    constexpr int kLength = 200;
    std::vector<std::int64_t> ticks;
    for (int n = 1; n <= 20; ++n) ticks.push_back(tickFrame(n, kInterval, kRate441));
    const int frames = static_cast<int>(ticks.back()) + 250;
    const std::vector<float> expected = expectedRamps(frames, ticks, 1000, kLength);

    for (const int block : {1, 7, 64, 308, 309, 512, 1024, 8192}) {
        SequencerLink link;
        TrackSlots slots;
        Mixer mixer(link, slots, kRate441);
        const auto bass = rampSample(1000, kLength);
        slots.offer(Track::Bass, *bass);
        link.snapshots.write(Beat(kInterval).everyStep(Track::Bass).snapshot());
        EXPECT_EQ(renderLeft(mixer, frames, block), expected) << "blocks of " << block;
        EXPECT_EQ(mixer.framesRendered(), frames);
    }
}

TEST_F(MixerTest, ANewHitCutsTheSoundOnItsFrame) {
    const auto longBass = rampSample(1000, 2000);
    ledger.offer(Track::Bass, *longBass);
    ledger.offer(Track::Snare, *snare);
    play(Beat(10).on(Track::Bass, 1).on(Track::Bass, 2).on(Track::Snare, 3));
    const std::int64_t t1 = tickFrame(1, 10, kRate), t2 = tickFrame(2, 10, kRate),
                       t3 = tickFrame(3, 10, kRate);
    const std::vector<float> out = renderLeft(mixer, static_cast<int>(t3) + 400, 100);

    EXPECT_EQ(out[t1 - 1], 0.0f);
    EXPECT_EQ(out[t1], 1000.0f);
    EXPECT_EQ(out[t2 - 1], 1000.0f + static_cast<float>(t2 - 1 - t1));
    EXPECT_EQ(out[t2], 1000.0f) << "the bass starts again from its beginning";
    EXPECT_EQ(out[t3 - 1], 1000.0f + static_cast<float>(t3 - 1 - t2));
    EXPECT_EQ(out[t3], 2000.0f) << "the snare cuts the bass";
    EXPECT_EQ(out[t3 + 299], 2299.0f);
    EXPECT_EQ(out[t3 + 300], 0.0f) << "and nothing of the bass comes back after it";
}

// When several tracks hit on one step, each start cuts the one before it,
// on the same frame: only the last one is heard.
TEST_F(MixerTest, OnAStepWithSeveralHitsOnlyTheLastTrackSounds) {
    offerDrums();
    play(Beat(10)
             .on(Track::Bass, 1)
             .on(Track::Snare, 1)
             .on(Track::Effect, 1)
             .on(Track::Bass, 2)
             .on(Track::Snare, 2)
             .on(Track::Bass, 3)
             .on(Track::Effect, 3)
             .on(Track::Bass, 4));
    const std::vector<float> out =
        renderLeft(mixer, static_cast<int>(tickFrame(5, 10, kRate)), 256);
    const float expectedStart[] = {3000, 2000, 3000, 1000};
    for (int step = 1; step <= 4; ++step) {
        const std::int64_t t = tickFrame(step, 10, kRate);
        EXPECT_EQ(out[t], expectedStart[step - 1]) << "step " << step;
        EXPECT_EQ(out[t + 150], expectedStart[step - 1] + 150) << "step " << step;
    }
}

TEST_F(MixerTest, AMutedTrackOrAnEmptyCellLeavesTheSoundPlaying) {
    const auto longBass = rampSample(1000, 2000);
    ledger.offer(Track::Bass, *longBass);
    ledger.offer(Track::Snare, *snare);
    play(Beat(10).on(Track::Bass, 1).on(Track::Snare, 2).mute(Track::Snare));
    const std::int64_t t1 = tickFrame(1, 10, kRate);
    const std::vector<float> out = renderLeft(mixer, static_cast<int>(t1) + 2100, 128);
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(out[t1 + i], 1000.0f + i) << "frame " << i;
    EXPECT_EQ(out[t1 + 2000], 0.0f);
}

// Before the first offer the effect track has nothing; its hit cuts the
// sound all the same, as one on the silent sample does (the track samples
// test).
TEST_F(MixerTest, AnEffectHitBeforeAnyOfferStillCutsTheSound) {
    const auto longBass = rampSample(1000, 2000);
    ledger.offer(Track::Bass, *longBass);
    play(Beat(10).on(Track::Bass, 1).on(Track::Effect, 2));
    const std::int64_t t1 = tickFrame(1, 10, kRate), t2 = tickFrame(2, 10, kRate);
    const std::vector<float> out = renderLeft(mixer, static_cast<int>(t1) + 2100, 100);
    EXPECT_EQ(out[t2 - 1], 1000.0f + static_cast<float>(t2 - 1 - t1));
    for (std::int64_t i = t2; i < t1 + 2100; ++i) ASSERT_EQ(out[i], 0.0f) << "frame " << i;
}

// The file changed while its old sound plays: the old sound plays on to its
// end, and only then does its loan come back, once; the next hit plays the new one.
TEST_F(MixerTest, ASampleReplacedWhilePlayingPlaysToItsEndAndComesBackOnce) {
    const auto oldBass = rampSample(1000, 2000);
    const auto newBass = rampSample(5000, 300);
    ledger.offer(Track::Bass, *oldBass);
    play(Beat(100).on(Track::Bass, 1));
    const std::int64_t t1 = tickFrame(1, 100, kRate);
    std::vector<float> out = renderLeft(mixer, static_cast<int>(t1) + 500, 256);

    ledger.offer(Track::Bass, *newBass);
    const std::vector<float> more = renderLeft(mixer, 1000, 256);
    out.insert(out.end(), more.begin(), more.end());
    EXPECT_EQ(ledger.takeBackReleased(), 0) << "still playing";
    EXPECT_EQ(ledger.outstanding(*oldBass), 1);

    const std::vector<float> rest = renderLeft(mixer, 1000, 256);
    out.insert(out.end(), rest.begin(), rest.end());
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(out[t1 + i], 1000.0f + i) << "frame " << i;
    EXPECT_EQ(out[t1 + 2000], 0.0f);
    EXPECT_EQ(ledger.takeBackReleased(), 1);
    EXPECT_EQ(ledger.outstanding(*oldBass), 0);

    const std::int64_t t17 = tickFrame(17, 100, kRate);
    const std::vector<float> later =
        renderLeft(mixer, static_cast<int>(t17 + 10 - mixer.framesRendered()), 512);
    EXPECT_EQ(later[later.size() - 10], 5000.0f) << "the next hit plays the new sound";
    EXPECT_EQ(ledger.takeBackReleased(), 0);
    EXPECT_EQ(ledger.overReturned(), 0);
    EXPECT_EQ(ledger.outstanding(*newBass), 1) << "the track's sound is still lent";
}

}  // namespace
}  // namespace trovik
