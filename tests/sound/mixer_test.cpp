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

// A ramp heard from a step on: each cuts whatever played before it on its
// own frame.
struct Heard {
    int step;
    float base;
    int length;
};

std::vector<float> expectedLeft(int frames, int interval, int rate,
                                const std::vector<Heard>& heard) {
    std::vector<float> left(static_cast<std::size_t>(frames), 0.0f);
    for (const auto& [step, base, length] : heard) {
        const std::int64_t start = tickFrame(step, interval, rate);
        std::fill(left.begin() + start, left.end(), 0.0f);
        for (int i = 0; i < length && start + i < frames; ++i)
            left[static_cast<std::size_t>(start + i)] = base + static_cast<float>(i);
    }
    return left;
}

// A mixer whose beat starts a ramp from 1000 of `length` frames on every step.
struct BassOnEveryStep {
    SequencerLink link;
    TrackSlots slots;
    Mixer mixer;
    std::unique_ptr<Sample> bass;
    BassOnEveryStep(int rate, int interval, int length)
        : mixer(link, slots, rate), bass(rampSample(1000, length)) {
        slots.offer(Track::Bass, *bass);
        link.snapshots.write(Beat(interval).everyStep(Track::Bass).snapshot());
    }
};

// The step falls where the grid puts it, whatever the block it lands in: a
// block of one frame, one ending just before or just after the step, or one
// holding several steps. At 44.1 kHz and 7 ms the steps are 308.7 frames
// apart, so the rounding of every tick shows too.
TEST(MixerHits, StartOnTheirExactFrameWhateverTheBlockSize) {
    constexpr int kRate441 = 44100;
    constexpr int kInterval = 7;
    std::vector<Heard> heard;
    for (int n = 1; n <= 20; ++n) heard.push_back({n, 1000, 200});
    const int frames = static_cast<int>(tickFrame(20, kInterval, kRate441)) + 250;
    const std::vector<float> expected = expectedLeft(frames, kInterval, kRate441, heard);

    for (const int block : {1, 7, 64, 308, 309, 512, 1024, 8192}) {
        BassOnEveryStep beat(kRate441, kInterval, 200);
        EXPECT_EQ(renderLeft(beat.mixer, frames, block), expected) << "blocks of " << block;
        EXPECT_EQ(beat.mixer.framesRendered(), frames);
    }
}

// A hit cuts the sound on its frame, the same track's sound too (which
// starts again from its beginning); of several hits on one step only the
// last track's sounds; a muted track or an empty cell leaves the sound
// playing; an effect hit before the first offer still cuts it, as one on
// the silent sample does (the track samples test).
// Every sample is a ramp from its own base, so the output tells which one
// plays and from where.
TEST(MixerHits, EachCutsTheSoundBeforeItOnItsFrame) {
    using enum Track;
    const auto bass = rampSample(1000, 2000), snare = rampSample(2000, 300),
               effect = rampSample(3000, 300);
    const struct {
        const char* what;
        Beat beat;
        bool effectOffered;
        std::vector<Heard> heard;
    } cases[] = {{"cut",
                  Beat(10).on(Bass, 1).on(Bass, 2).on(Snare, 3),
                  true,
                  {{1, 1000, 2000}, {2, 1000, 2000}, {3, 2000, 300}}},
                 {"several on a step",
                  Beat(10)
                      .on(Bass, 1)
                      .on(Snare, 1)
                      .on(Effect, 1)
                      .on(Bass, 2)
                      .on(Snare, 2)
                      .on(Bass, 3)
                      .on(Effect, 3)
                      .on(Bass, 4),
                  true,
                  {{1, 3000, 300}, {2, 2000, 300}, {3, 3000, 300}, {4, 1000, 2000}}},
                 {"muted", Beat(10).on(Bass, 1).on(Snare, 2).mute(Snare), true, {{1, 1000, 2000}}},
                 {"no effect offered",
                  Beat(10).on(Bass, 1).on(Effect, 2),
                  false,
                  {{1, 1000, 2000}, {2, 0, 0}}}};
    const int frames = static_cast<int>(tickFrame(5, 10, kRate)) + 2100;
    for (const auto& [what, beat, effectOffered, heard] : cases) {
        SequencerLink link;
        TrackSlots slots;
        Mixer mixer(link, slots, kRate);
        slots.offer(Bass, *bass);
        slots.offer(Snare, *snare);
        if (effectOffered) slots.offer(Effect, *effect);
        link.snapshots.write(beat.snapshot());
        EXPECT_EQ(renderLeft(mixer, frames, 100), expectedLeft(frames, 10, kRate, heard)) << what;
    }
}

// A new stream joins the grid by when blocks are heard, where the device
// told it: the old stream's last block heard 20 ms after its callback, the
// new one's first 3 ms after its own. Step 30 falls 2.5 ms into that block
// (step 29, due in the break, sounds on its first frame).
TEST(MixerHits, ANewStreamJoinsByTheHeardLatencyEachSideTold) {
    constexpr int kInterval = 10;
    constexpr int kBlock = 480;
    BassOnEveryStep beat(kRate, kInterval, 50);
    Mixer& mixer = beat.mixer;
    std::vector<float> out(kBlock * Sample::kChannels);
    mixer.streamStarts();
    for (int block = 0; block < 5; ++block) {
        mixer.setHeardLatency(20'000'000);
        mixer.render(out.data(), kBlock, std::int64_t{block} * 10'000'000);
    }
    mixer.streamStarts();
    mixer.setHeardLatency(3'000'000);
    mixer.render(out.data(), kBlock, 300'000'000 + 20'000'000 - 3'000'000 - 2'500'000);
    std::size_t firstHit = 1;
    while (firstHit < kBlock && out[firstHit * Sample::kChannels] != 1000.0f) ++firstHit;
    EXPECT_EQ(out[0], 1000.0f);
    EXPECT_EQ(firstHit, 120u);
}

// Callbacks 5 ms later for good from 3 s on: the detector finds a dry run
// and the grid skips the gap; but not where the device tells its server's
// dry runs and the server told none as the shift came (it only moved its
// requests), nor one long before. Where the server also times the stream,
// the hole is what its timing tells, and only after a dry run it told.
TEST(MixerHits, ALastingLateShiftMovesTheGridOnlyWhereTheServerSaysItRanDry) {
    constexpr int kRate = 48000;
    constexpr int kBlock = 480;  // 10 ms, a step
    constexpr std::int64_t kNever = -1;
    const struct {
        const char* what;
        bool tells;
        int dryRunAt;             // the block from which the server has told one
        std::int64_t heardLater;  // told at the shift, kNever: untimed
        int hitAt;                // the frame of each block a hit starts on at the end
    } cases[] = {{"untold", false, 0, kNever, 240},
                 {"told none", true, 1'000'000, kNever, 0},
                 {"told one as the shift came", true, 300, kNever, 240},
                 {"told one 2.5 s before", true, 50, kNever, 0},
                 {"timed: heard 7 ms later after a dry run", true, 299, 7'000'000, 144},
                 {"timed: heard later, no dry run told", true, 1'000'000, 7'000'000, 0},
                 {"timed: a dry run told, heard no later", true, 300, 0, 0}};
    for (const auto& c : cases) {
        BassOnEveryStep beat(kRate, 10, 50);
        std::vector<float> out(kBlock * Sample::kChannels);
        beat.mixer.streamStarts();
        for (int block = 0; block < 500; ++block) {
            if (c.tells) beat.mixer.tellDryRuns(block >= c.dryRunAt ? 1 : 0);
            if (c.heardLater != kNever) beat.mixer.tellHeardLater(block == 300 ? c.heardLater : 0);
            beat.mixer.render(out.data(), kBlock,
                              std::int64_t{block} * 10'000'000 + (block >= 300 ? 5'000'000 : 0));
        }
        EXPECT_EQ(out[static_cast<std::size_t>(c.hitAt) * Sample::kChannels], 1000.0f) << c.what;
    }
}

// The file changed while its old sound plays: the old sound plays on to its
// end, and only then does its loan come back, once; the next hit plays the new one.
TEST(MixerLoans, ASampleReplacedWhilePlayingPlaysToItsEndAndComesBackOnce) {
    SequencerLink link;
    TrackSlots slots;
    LoanLedger ledger{slots};
    Mixer mixer{link, slots, kRate};
    const auto oldBass = rampSample(1000, 2000);
    const auto newBass = rampSample(5000, 300);
    ledger.offer(Track::Bass, *oldBass);
    link.snapshots.write(Beat(100).on(Track::Bass, 1).snapshot());
    std::vector<float> out;
    const auto renderUntil = [&](std::int64_t frame) {
        const auto more = renderLeft(mixer, static_cast<int>(frame - mixer.framesRendered()), 256);
        out.insert(out.end(), more.begin(), more.end());
    };
    const std::int64_t t1 = tickFrame(1, 100, kRate), end = tickFrame(17, 100, kRate) + 400;
    renderUntil(t1 + 500);
    ledger.offer(Track::Bass, *newBass);
    renderUntil(t1 + 1500);
    EXPECT_EQ(ledger.takeBackReleased(), 0) << "still playing";
    EXPECT_EQ(ledger.outstanding(*oldBass), 1);
    renderUntil(t1 + 2500);
    EXPECT_EQ(ledger.takeBackReleased(), 1);
    EXPECT_EQ(ledger.outstanding(*oldBass), 0);
    renderUntil(end);
    EXPECT_EQ(out,
              expectedLeft(static_cast<int>(end), 100, kRate, {{1, 1000, 2000}, {17, 5000, 300}}))
        << "the old sound to its end, the next hit the new one";
    EXPECT_EQ(ledger.takeBackReleased(), 0);
    EXPECT_EQ(ledger.overReturned(), 0);
    EXPECT_EQ(ledger.outstanding(*newBass), 1) << "the track's sound is still lent";
}

}  // namespace
}  // namespace trovik
