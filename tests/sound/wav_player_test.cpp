#include "sound/wav_player.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <vector>

#include "tests/sound/test_wavs.h"

namespace trovik {
namespace {

using std::chrono::milliseconds;
constexpr int kRate = 44100;

std::vector<float> render(Mixer& mixer, int frames) {
    std::vector<float> out(static_cast<std::size_t>(frames) * 2);
    mixer.render(out.data(), frames);
    std::vector<float> left(frames);
    for (int i = 0; i < frames; ++i) left[i] = out[i * 2];
    return left;
}

int framesUntilSilence(const std::vector<float>& left) {
    int last = -1;
    for (int i = 0; i < static_cast<int>(left.size()); ++i) last = left[i] != 0.0f ? i : last;
    return last + 1;
}

class WavPlayerTest : public ::testing::Test {
  protected:
    Mixer mixer;
    DrumKit drumKit{TROVIK_SAMPLE_DIR};
    WavPlayer player{mixer, drumKit, kRate};
    testing::TempFolder folder;
    // A player that places grid hits, 10 ms of latency after their ticks,
    // on a stream whose frame 0 was rendered at frameZero; the stream's
    // time reads frameZero there too.
    StreamClock streamClock{kRate};
    StreamTime streamTime{streamClock};
    WavPlayer timed{mixer, drumKit, kRate, {&streamTime, milliseconds(10)}};
    const StreamClock::Clock::time_point frameZero = StreamClock::Clock::now();

    void SetUp() override {
        streamClock.onCallback(0, frameZero);
        streamTime.now(frameZero);
    }

    // Lets the background decoder finish what PlaySample started.
    void settle() { player.waitForDecodings(); }
    std::string tone(const char* name, double seconds) {
        return testing::writeToneWav(folder.path() / name, SF_FORMAT_PCM_16, 1, kRate, 441.0,
                                     seconds);
    }
};

TEST_F(WavPlayerTest, TheFixedDrumNamesPlayTheShippedSamples) {
    for (const char* drum : {DrumKit::kBassName, DrumKit::kSnareName}) {
        player.PlaySample(drum);
        settle();
        const std::vector<float> hit = render(mixer, kRate);
        EXPECT_NE(hit[0], 0.0f) << drum << " starts on the first frame";
        EXPECT_GT(framesUntilSilence(hit), kRate / 20) << drum << " rings for more than 50 ms";
    }
}

TEST_F(WavPlayerTest, ABadPathStopsTheSoundPlayingAndPlaysNothing) {
    const std::string long_tone = tone("long.wav", 2.0);
    for (const std::string& bad :
         {std::string(), (folder.path() / "gone.wav").string(), folder.path().string()}) {
        player.PlaySample(long_tone);
        render(mixer, 512);
        player.PlaySample(bad);
        EXPECT_EQ(framesUntilSilence(render(mixer, 512)), 0) << "after '" << bad << "'";
    }
}

TEST_F(WavPlayerTest, ReadsTheFileAgainOnceItChangedOnDisk) {
    const std::string path = tone("changing.wav", 0.01);
    player.PlaySample(path);
    EXPECT_EQ(framesUntilSilence(render(mixer, kRate)), 441);
    tone("changing.wav", 0.02);
    player.PlaySample(path);
    EXPECT_EQ(framesUntilSilence(render(mixer, kRate)), 882);
    player.collectReleased();
    EXPECT_EQ(player.samplesHeld(), 1u) << "the first version is gone once given back";
}

// Hits of the step grid land on frames a whole number of periods apart,
// starting from the first hit's due time plus the latency, wherever the
// buffers happen to fall.
TEST_F(WavPlayerTest, GridHitsLandOnTheFramesOfTheirTicks) {
    render(mixer, 1000);
    timed.PlaySampleAt(DrumKit::kBassName, {frameZero, milliseconds(30), 1});  // frame 1323
    EXPECT_EQ(framesUntilSilence(render(mixer, 256)), 0);
    std::vector<float> left = render(mixer, 1024);  // frames 1256 to 2279
    int first = 0;
    while (left[first] == 0.0f) ++first;
    EXPECT_EQ(1256 + first, 1323 + 441);

    timed.PlaySampleAt(DrumKit::kBassName, {frameZero, milliseconds(30), 2});
    left = render(mixer, 2000);  // frames 2280 to 4279
    EXPECT_NE(left[1323 + 1323 + 441 - 2280], left[1323 + 1323 + 441 - 2280 - 1])
        << "the second hit starts 1323 frames after the first";
}

// An effect track whose cells are on before a file is chosen posts a stop
// at every tick. When a file is then chosen, its first hit must sound on
// its own tick, neither behind the stops nor on an estimate of the stream
// clock that moved meanwhile.
TEST_F(WavPlayerTest, ANewlyChosenFileSoundsOnItsTickNotBehindEarlierStopsOrAStaleEstimate) {
    constexpr int kPeriodFrames = 441 * 15;  // 150 ms
    for (int tick = 1; tick <= 3; ++tick)
        timed.PlaySampleAt("", {frameZero, milliseconds(150), tick});
    // A burst of callbacks: the estimate now puts frame zero 2.5 ms earlier.
    streamClock.onCallback(kRate, frameZero + std::chrono::microseconds(997'500));
    const std::string effect = std::string(TROVIK_SAMPLE_DIR) + "/snare.wav";  // sharp first frame
    timed.PlaySampleAt(effect, {frameZero, milliseconds(150), 4});
    const std::vector<float> left = render(mixer, kRate);
    int first = 0;
    while (left[first] == 0.0f) ++first;
    const int tickOne = kPeriodFrames + 441;  // 150 ms + 10 ms
    EXPECT_NEAR(first, tickOne + 3 * kPeriodFrames, 1);
    EXPECT_EQ(mixer.lateCommands(), 0);
}

// The stream stood still for 400 ms after three ticks had been planned
// ahead (a server waking its sink does this as a stream starts). The hits
// planned on the old clock would sound 400 ms late, among the new ones:
// they are withdrawn.
TEST_F(WavPlayerTest, AfterTheStreamStoodStillHitsPlannedOnTheOldClockAreWithdrawn) {
    for (int tick = 1; tick <= 3; ++tick)
        timed.PlaySampleAt(DrumKit::kSnareName, {frameZero, milliseconds(150), tick});
    // Frame 4410 (100 ms) is asked for only at 500 ms.
    render(mixer, 4410);
    streamClock.onCallback(4410, frameZero + milliseconds(500));
    streamTime.now(frameZero + milliseconds(600));  // tick 4 comes on time
    timed.PlaySampleAt(DrumKit::kBassName,
                       {frameZero, milliseconds(150), 4});  // 610 ms: frame 9261
    const std::vector<float> left = render(mixer, kRate);
    std::vector<int> starts;
    for (int i = 1; i < static_cast<int>(left.size()); ++i) {
        if (left[i] != 0.0f && left[i - 1] == 0.0f) starts.push_back(4410 + i);
    }
    ASSERT_FALSE(starts.empty());
    EXPECT_EQ(starts.front(), 9261) << "the first sound after the stall is tick 4's";
    const int tickThreeOld = (450 + 10) * kRate / 1000;  // 20286
    const int snareAtTickThree = static_cast<int>(left[tickThreeOld - 4410] != 0.0f &&
                                                  left[tickThreeOld - 4410 - 1] == 0.0f);
    EXPECT_EQ(snareAtTickThree, 0) << "tick 3, planned on the old clock, is not heard";
}

TEST(WavPlayerWithoutDevice, StaysSilentAndQueuesNothing) {
    Mixer mixer;
    const DrumKit drumKit{TROVIK_SAMPLE_DIR};
    WavPlayer player{mixer, drumKit, 0};
    player.PlaySample(DrumKit::kBassName);
    EXPECT_EQ(player.samplesHeld(), 0u);
    EXPECT_EQ(framesUntilSilence(render(mixer, 1024)), 0);
}

}  // namespace
}  // namespace trovik
