#include "wav_player.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "test_wavs.h"

namespace trovik {
namespace {

using testing::TempFolder;
using testing::writeToneWav;

constexpr int kRate = 44100;

// Renders the mixer offline, as the audio thread would, and returns the
// left channel.
std::vector<float> render(Mixer& mixer, int frames) {
    std::vector<float> out(static_cast<std::size_t>(frames) * 2);
    mixer.render(out.data(), frames);
    std::vector<float> left(frames);
    for (int i = 0; i < frames; ++i) left[i] = out[i * 2];
    return left;
}

int framesUntilSilence(const std::vector<float>& left) {
    int last = -1;
    for (int i = 0; i < static_cast<int>(left.size()); ++i) {
        if (left[i] != 0.0f) last = i;
    }
    return last + 1;
}

// Lets the background decoder finish what PlaySample started.
void settle(WavPlayer& player) {
    for (int i = 0; i < 500 && (player.collectReleased(), player.decodingsUnderWay() > 0); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

class WavPlayerTest : public ::testing::Test {
protected:
    Mixer mixer;
    DrumKit drumKit{TROVIK_SAMPLE_DIR};
    WavPlayer player{mixer, drumKit, kRate};
    TempFolder folder;
};

TEST_F(WavPlayerTest, TheFixedDrumNamesPlayTheShippedSamples) {
    player.PlaySample(DrumKit::kBassName);
    settle(player);
    const std::vector<float> bass = render(mixer, kRate);
    EXPECT_GT(framesUntilSilence(bass), kRate / 10) << "a bass drum rings for more than 100 ms";
    EXPECT_NE(bass[0], 0.0f) << "the hit starts on the first frame";

    player.PlaySample(DrumKit::kSnareName);
    settle(player);
    const std::vector<float> snare = render(mixer, kRate);
    EXPECT_GT(framesUntilSilence(snare), kRate / 20);
}

TEST_F(WavPlayerTest, ABadPathStopsTheSoundPlayingAndPlaysNothing) {
    const std::string tone = writeToneWav(folder.path() / "long.wav", SF_FORMAT_PCM_16, 1, kRate, 300.0, 2.0);
    for (const std::string& bad : {std::string(), (folder.path() / "gone.wav").string(), folder.path().string()}) {
        player.PlaySample(tone);
        render(mixer, 512);
        player.PlaySample(bad);
        const std::vector<float> after = render(mixer, 512);
        EXPECT_EQ(framesUntilSilence(after), 0) << "after '" << bad << "'";
    }
}

TEST_F(WavPlayerTest, PlayingTheSameFileAgainRestartsIt) {
    const std::string tone = writeToneWav(folder.path() / "tone.wav", SF_FORMAT_PCM_16, 1, kRate, 441.0, 0.05);
    player.PlaySample(tone);
    const std::vector<float> first = render(mixer, 1000);
    player.PlaySample(tone);
    const std::vector<float> again = render(mixer, 1000);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(first[i], again[i]) << i;
}

TEST_F(WavPlayerTest, ReadsTheFileAtEveryCall) {
    const auto path = folder.path() / "changing.wav";
    writeToneWav(path, SF_FORMAT_PCM_16, 1, kRate, 441.0, 0.01);
    player.PlaySample(path.string());
    EXPECT_EQ(framesUntilSilence(render(mixer, kRate)), 441);
    writeToneWav(path, SF_FORMAT_PCM_16, 1, kRate, 441.0, 0.02);
    player.PlaySample(path.string());
    EXPECT_EQ(framesUntilSilence(render(mixer, kRate)), 882);
}

TEST_F(WavPlayerTest, KeepsOneDecodedSoundPerFileHoweverOftenItPlays) {
    const std::string tone = writeToneWav(folder.path() / "short.wav", SF_FORMAT_PCM_16, 1, kRate, 441.0, 0.01);
    for (int i = 0; i < 50; ++i) player.PlaySample(tone);
    render(mixer, kRate);
    player.collectReleased();
    EXPECT_EQ(player.samplesHeld(), 1u);
}

// A hit inside a tick sounds at the tick's due time plus the latency, on the
// exact frame, wherever the buffers happen to fall.
TEST_F(WavPlayerTest, AHitInsideATickLandsOnTheFrameItWasDueAt) {
    using namespace std::chrono;
    StreamClock streamClock(kRate);
    HitTime hitTime;
    WavPlayer timed(mixer, drumKit, kRate, {&streamClock, &hitTime, milliseconds(10)});
    const auto frameZero = StreamClock::Clock::now();
    streamClock.onCallback(0, frameZero);
    render(mixer, 1000);

    const auto due = frameZero + milliseconds(30);  // frame 1323, plus 441 for the latency
    {
        const HitTime::Scope tick(hitTime, due);
        timed.PlaySample(DrumKit::kBassName);
    }
    std::vector<float> left = render(mixer, 256);  // 1000..1255: before the hit
    EXPECT_EQ(framesUntilSilence(left), 0);
    left = render(mixer, 1024);  // 1256..2279
    int first = 0;
    while (left[first] == 0.0f) ++first;
    EXPECT_EQ(1256 + first, 1323 + 441);
}

TEST(WavPlayerWithoutDevice, StaysSilentAndQueuesNothing) {
    Mixer mixer;
    DrumKit drumKit{TROVIK_SAMPLE_DIR};
    WavPlayer player{mixer, drumKit, 0};
    player.PlaySample(DrumKit::kBassName);
    EXPECT_EQ(player.samplesHeld(), 0u);
    EXPECT_EQ(framesUntilSilence(render(mixer, 1024)), 0);
}

TEST(DrumKitPaths, OnlyTheExactFixedNamesAreMapped) {
    const DrumKit kit{"/opt/kit"};
    EXPECT_EQ(kit.resolve("c:\\trovik\\bass.wav"), "/opt/kit/bass.wav");
    EXPECT_EQ(kit.resolve("c:\\trovik\\snare.wav"), "/opt/kit/snare.wav");
    EXPECT_EQ(kit.resolve("C:\\TROVIK\\BASS.WAV"), "C:\\TROVIK\\BASS.WAV");
    EXPECT_EQ(kit.resolve("/home/me/kick.wav"), "/home/me/kick.wav");
    EXPECT_EQ(kit.resolve(""), "");
}

}  // namespace
}  // namespace trovik
