// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/sound_engine.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "sound/frame_clock.h"
#include "sound/output_path.h"
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
    setenv("TROVIK_AUDIO", "sdl", 1);  // SDL's dummy driver, whatever servers answer here
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

TEST(OutputPath, TakesTheBufferSizeFromTheEnvironmentWhenItIsValid) {
    for (const char* unset : {static_cast<const char*>(nullptr), ""})
        EXPECT_EQ(fixedBufferFrames(unset), std::nullopt);
    for (const char* valid : {"64", "256", "8192"})
        EXPECT_EQ(fixedBufferFrames(valid), std::atoi(valid));
    for (const char* invalid :
         {"63", "8193", "0", "-512", "abc", "256 frames", "1e3", "99999999999999999999999"})
        EXPECT_EQ(fixedBufferFrames(invalid), std::nullopt) << '"' << invalid << '"';
}

// The forced backend is taken even with no server of its kind (the keeper
// waits for one); unforced, JACK comes before PulseAudio before SDL, and a
// server is asked only when none before it answered.
TEST(OutputPath, ChoosesTheBackendFromTheEnvironmentAndTheServersThatAnswer) {
    using enum AudioBackend;
    struct Case {
        const char* variable;
        std::optional<int> jack, pulse;
        AudioBackend backend;
        std::optional<int> rate;
        int probes;
    };
    const Case cases[] = {
        {"jack", std::nullopt, 44100, Jack, std::nullopt, 1},
        {"pulse", 48000, std::nullopt, Pulse, std::nullopt, 1},
        {"sdl", 48000, 44100, Sdl, std::nullopt, 0},
        {nullptr, 96000, 44100, Jack, 96000, 1},
        {"", std::nullopt, 44100, Pulse, 44100, 2},
        {"alsa", std::nullopt, std::nullopt, Sdl, std::nullopt, 2},
    };
    for (const Case& c : cases) {
        int probes = 0;
        const ServerProbes servers{[&] { return ++probes, c.jack; },
                                   [&] { return ++probes, c.pulse; }};
        const BackendChoice choice = chooseBackend(forcedBackend(c.variable), servers);
        const std::string label = c.variable == nullptr ? "unset" : c.variable;
        EXPECT_EQ(choice.backend, c.backend) << label;
        EXPECT_EQ(choice.serverRate, c.rate) << label;
        EXPECT_EQ(probes, c.probes) << label;
    }
}

// JACK's frames decide the time of a cycle: its own time of the cycle a
// little off moves nothing, a cycle run without us is a gap as long as its
// frames, across the wrap of the 32-bit counter too; JACK's time further off
// (its frames counted from the clock again after an xrun) is taken.
TEST(FrameClock, FollowsTheServersFramesUntilItsTimeDisagrees) {
    constexpr int kRate = 48000;
    constexpr std::int64_t kOff = FrameClock::kAgreementNanoseconds;
    FrameClock clock;
    const std::uint32_t start = 0xFFFFFF00u;
    const std::int64_t at256 = 5000 + nanosecondsIn(256, kRate);
    const std::int64_t at1024 = 5000 + nanosecondsIn(1024, kRate);
    const std::int64_t moved = at1024 + 2 * kOff;
    EXPECT_EQ(clock.timeOf(start, 5000, kRate), 5000);
    EXPECT_EQ(clock.timeOf(start + 256, at256 + kOff, kRate), at256);
    EXPECT_EQ(clock.timeOf(start + 1024, at1024 - kOff, kRate), at1024);
    EXPECT_EQ(clock.timeOf(start + 1024, moved, kRate), moved);
    EXPECT_EQ(clock.timeOf(start + 1280, moved + nanosecondsIn(256, kRate) + 9, kRate),
              moved + nanosecondsIn(256, kRate));
    clock.restart();
    EXPECT_EQ(clock.timeOf(7, 42, kRate), 42);
}

}  // namespace
}  // namespace trovik
