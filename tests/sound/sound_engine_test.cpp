// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/sound_engine.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/sound/beat_for_tests.h"
#include "tests/sound/test_wavs.h"

namespace trovik {
namespace {

using namespace std::chrono_literals;
using testing::Beat;

// Waits until the engine's audio thread has walked `ticks` more steps, or
// gives up after a time no running engine comes near.
bool stepsWalk(const SequencerLink& link, std::uint64_t ticks) {
    const std::uint64_t from = link.feedback.read().ticks;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (link.feedback.read().ticks >= from + ticks) return true;
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

// With SDL's dummy driver (the tests run with SDL_AUDIODRIVER=dummy) a real
// audio thread walks the steps, plays the shipped drums and an effect set
// while it runs, and the engine is torn down while it sounds and still
// converts the effect, with no close by hand: under the sanitizers a sample
// freed before the audio thread stopped shows here. Built twice, so SDL's
// audio subsystem must be given back as it was taken.
TEST(SoundEngineTest, WalksTheBeatOnItsAudioThreadAndShutsDownCleanly) {
    SoundEngine::prepareProcess(AudioThreadPriority::Normal);
    testing::TempFolder folder;
    const std::string tone =
        testing::writeToneWav(folder.path() / "tone.wav", SF_FORMAT_PCM_16, 2, 44100, 440.0, 3.0);
    for (int run = 0; run < 2; ++run) {
        SequencerLink link;
        link.snapshots.write(Beat(10).everyStep(Track::Bass).on(Track::Snare, 3).snapshot());
        SoundEngine engine(TROVIK_SAMPLE_DIR, link);
        EXPECT_TRUE(engine.sounding()) << "run " << run;

        const std::int16_t positionBefore = link.feedback.read().position;
        ASSERT_TRUE(stepsWalk(link, 3)) << "run " << run;
        EXPECT_NE(link.feedback.read().position, positionBefore);
        EXPECT_GT(link.feedback.read().framesWalked, 0);

        engine.setEffectPath(tone);
        link.snapshots.write(Beat(10).everyStep(Track::Effect).newGrid(1).snapshot());
        EXPECT_TRUE(stepsWalk(link, 3)) << "run " << run;
    }
}

TEST(SoundEngine, TakesTheBufferSizeFromTheEnvironmentWhenItIsValid) {
    for (const char* unset : {static_cast<const char*>(nullptr), ""})
        EXPECT_EQ(SoundEngine::bufferFramesFrom(unset), 512);
    for (const char* valid : {"64", "256", "8192"})
        EXPECT_EQ(SoundEngine::bufferFramesFrom(valid), std::atoi(valid));
    for (const char* invalid :
         {"63", "8193", "0", "-512", "abc", "256 frames", "1e3", "99999999999999999999999"})
        EXPECT_EQ(SoundEngine::bufferFramesFrom(invalid), 512) << '"' << invalid << '"';
}

}  // namespace
}  // namespace trovik
