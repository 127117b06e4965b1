// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/track_samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "sound/mixer.h"
#include "tests/sequencer/step_recorder.h"
#include "tests/sound/beat_for_tests.h"
#include "tests/sound/test_wavs.h"

namespace trovik {
namespace {

using namespace std::chrono_literals;
using testing::Beat;
using testing::renderLeft;
using testing::writeConstantWav;

constexpr int kRate = 48000;
constexpr int kInterval = 10;  // 480 frames a step
constexpr int kStepFrames = 480;
constexpr int kDrumFrames = 2000;
constexpr float kOldBass = 0.75f;
constexpr float kNewBass = 0.875f;
constexpr float kSnare = 0.5f;
constexpr float kEffect = 0.125f;

// The drum kit's folder holds the bass and snare files the tracks play; the
// test renders in place of the audio thread.
class TrackSamplesTest : public ::testing::Test {
  protected:
    testing::TempFolder folder;
    std::filesystem::path bassFile = folder.path() / "bass.wav";
    std::filesystem::path effectFile = folder.path() / "effect.wav";
    DrumKit drumKit{folder.path()};
    SequencerLink link;
    TrackSlots slots;
    Mixer mixer{link, slots, kRate};

    TrackSamplesTest() {
        writeConstantWav(bassFile, kOldBass, kDrumFrames, kRate);
        writeConstantWav(folder.path() / "snare.wav", kSnare, kDrumFrames, kRate);
        writeConstantWav(effectFile, kEffect, kDrumFrames, kRate);
    }

    void play(const Beat& beat) { link.snapshots.write(beat.snapshot()); }

    // Replaces the bass file whole, as an editor that saves safely does,
    // while the thread looks at it: a file rewritten in place can be caught
    // half written, which no look can tell.
    void saveNewBass() {
        const std::filesystem::path saved = folder.path() / "bass.saved.wav";
        writeConstantWav(saved, kNewBass, kDrumFrames, kRate);
        std::filesystem::rename(saved, bassFile);
    }

    // One step per block, each starting on its step's frame; passes the
    // steady clock as the audio thread does. Renders until `heard` holds
    // for a block (the step it starts with, its left channel), or gives up
    // after a time no working thread comes near.
    bool renderStepsUntil(const std::function<bool(int, const std::vector<float>&)>& heard) {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        std::vector<float> out(kStepFrames * Sample::kChannels);
        std::vector<float> left(kStepFrames);
        while (std::chrono::steady_clock::now() < deadline) {
            const auto tick = static_cast<int>(mixer.framesRendered() / kStepFrames);
            mixer.render(out.data(), kStepFrames, steadyNanoseconds());
            for (int i = 0; i < kStepFrames; ++i) left[static_cast<std::size_t>(i)] = out[2 * i];
            if (tick > 0 && heard((tick - 1) % kSteps + 1, left)) return true;
            std::this_thread::sleep_for(1ms);  // a little room for the other thread
        }
        return false;
    }
};

bool all(const std::vector<float>& left, float value) {
    return std::all_of(left.begin(), left.end(), [&](float v) { return v == value; });
}

bool any(const std::vector<float>& left, float value) {
    return std::any_of(left.begin(), left.end(), [&](float v) { return v == value; });
}

// While the beat stands still the thread looks at the files only now and
// then (here: once an hour); Play wakes it, so that a file changed or
// picked meanwhile sounds on the first step.
TEST_F(TrackSamplesTest, AFileChangedWhileStoppedSoundsOnTheFirstStepAfterPlay) {
    TrackSamples samples(slots, drumKit, kRate, std::chrono::hours(1));
    play(Beat(kInterval).everyStep(Track::Bass).stopped());
    samples.lookNow();
    samples.start();
    saveNewBass();
    const std::uint64_t looks = samples.looks();
    samples.lookSoon();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (samples.looks() == looks && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    play(Beat(kInterval).everyStep(Track::Bass));
    const std::int64_t t1 = tickFrame(1, kInterval, kRate);
    EXPECT_EQ(renderLeft(mixer, static_cast<int>(t1) + 1, 64)[t1], kNewBass);
}

// An effect path that names nothing playable (which one, the sample cache
// test tells) has nothing to play: its hit cuts the bass and leaves
// silence. A file that played before does not linger once the path no
// longer names it.
TEST_F(TrackSamplesTest, AnEffectPathWithNothingPlayableGivesSilence) {
    TrackSamples samples(slots, drumKit, kRate);
    play(Beat(kInterval).on(Track::Bass, 1).on(Track::Effect, 2).on(Track::Effect, 3));
    samples.setEffectPath(effectFile.string());
    samples.lookNow();
    samples.setEffectPath((folder.path() / "gone.wav").string());
    samples.lookNow();
    const std::int64_t t1 = tickFrame(1, kInterval, kRate), t2 = tickFrame(2, kInterval, kRate);
    const std::vector<float> out = renderLeft(mixer, static_cast<int>(t1) + kDrumFrames, 100);
    EXPECT_EQ(out[t2 - 1], kOldBass);
    for (std::int64_t i = t2; i < t1 + kDrumFrames; ++i) ASSERT_EQ(out[i], 0.0f) << "frame " << i;
}

// On its own thread, while the beat plays: an effect path set from another
// thread reaches the steps, and a 200 MB effect file, resampled and
// streamed from disk, takes the thread far longer to decode than a drum;
// the bass still starts on the first frame of every step it has, whole,
// and its rewritten file gets through.
TEST_F(TrackSamplesTest, ItsThreadHandsOverANewEffectAndASlowOneHoldsBackNoOtherTrack) {
    const std::filesystem::path big = folder.path() / "big.wav";
    testing::writeLongToneWav(big, 200'000'000, 44100, 440.0, 30.0);
    TrackSamples samples(slots, drumKit, kRate);
    samples.lookNow();
    samples.start();
    std::thread([&] { samples.setEffectPath(big.string()); }).join();
    Beat beat(kInterval);
    for (int step = 1; step <= kSteps; ++step)
        beat.on(step % 2 ? Track::Bass : Track::Effect, step);
    play(beat);

    int bassSteps = 0;
    int effectStepsSounding = 0;
    bool bassWhole = true;
    bool effectWithoutBass = true;
    auto check = [&](int step, const std::vector<float>& left) {
        if (step % 2 == 1) {
            ++bassSteps;
            bassWhole = bassWhole && (all(left, kOldBass) || all(left, kNewBass));
        } else {
            // The tone stays within ±0.5: no frame of it can pass for the bass.
            effectWithoutBass = effectWithoutBass && !any(left, kOldBass) && !any(left, kNewBass);
            if (!all(left, 0.0f)) ++effectStepsSounding;
        }
    };
    ASSERT_TRUE(renderStepsUntil([&](int step, const auto& left) {
        check(step, left);
        return bassSteps >= 10 && effectStepsSounding > 0;
    })) << "the new effect never played";
    saveNewBass();
    EXPECT_TRUE(renderStepsUntil([&](int step, const auto& left) {
        check(step, left);
        return step % 2 == 1 && all(left, kNewBass);
    }));
    EXPECT_TRUE(bassWhole) << "every bass step sounds whole from its first frame";
    EXPECT_TRUE(effectWithoutBass) << "the effect cuts the bass";
}

}  // namespace
}  // namespace trovik
