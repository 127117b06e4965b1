// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/beat_render.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <numeric>
#include <sstream>

#include "sound/wav_decoder.h"
#include "tests/render/render_for_tests.h"
#include "tests/sound/test_wavs.h"

namespace trovik {
namespace {

using testing::gridFrame;
using testing::Hit;
using testing::placeHits;
using testing::readWav;

constexpr int kRate = 48000;
constexpr int kStep = 7200;  // 150 ms at 48 kHz

// Renders into a scratch folder, with the drums this build ships.
class BeatRenderTest : public ::testing::Test {
  protected:
    testing::TempFolder folder;
    std::filesystem::path beatFile = folder.path() / "beat.tbk";
    std::filesystem::path output = folder.path() / "out.wav";
    std::unique_ptr<Sample> bass = decodeWav(TROVIK_SAMPLE_DIR "/bass.wav", kRate);
    std::unique_ptr<Sample> snare = decodeWav(TROVIK_SAMPLE_DIR "/snare.wav", kRate);

    RenderRequest request(long long loops, const QByteArray& beat = testing::workedExampleBeat()) {
        testing::writeFile(beatFile, beat);
        RenderRequest asked;
        asked.beatFile = beatFile.string();
        asked.outputFile = output.string();
        asked.loops = loops;
        asked.floatSamples = true;  // exact, to compare sample for sample
        asked.dataFolder = TROVIK_SAMPLE_DIR;
        return asked;
    }
    testing::Wav render(const RenderRequest& asked) {
        std::ostringstream errors;
        EXPECT_EQ(renderBeat(asked, errors, nullptr), 0);
        EXPECT_EQ(errors.str(), "");
        return readWav(asked.outputFile);
    }
    // The worked example's hits of passes `from` to `to`, step 1 of pass 0 on
    // frame 0; the snare wins over the bass on steps 5 and 13.
    std::vector<Hit> workedExampleHits(int from, int to, bool snareMuted = false) {
        std::vector<Hit> hits;
        for (int pass = from; pass <= to; ++pass) {
            for (int step : {1, 5, 9, 13}) {
                const bool snareHits = !snareMuted && (step == 5 || step == 13);
                hits.push_back({(pass * 16 + step - 1) * std::int64_t{kStep},
                                snareHits ? snare.get() : bass.get()});
            }
        }
        return hits;
    }
};

TEST_F(BeatRenderTest, WorkedExamplePutsEveryHitOnItsFrameForExactlySixtyFourSteps) {
    const testing::Wav wav = render(request(4));
    EXPECT_EQ(wav.rate, kRate);
    EXPECT_EQ(wav.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    ASSERT_EQ(wav.frames(), 64 * kStep);
    EXPECT_EQ(wav.interleaved, placeHits(workedExampleHits(-1, 3), wav.frames()));
}

TEST_F(BeatRenderTest, SixteenBitOutputHoldsTheSameSoundToItsRounding) {
    RenderRequest asked = request(4);
    asked.floatSamples = false;
    const testing::Wav wav = render(asked);
    EXPECT_EQ(wav.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    ASSERT_EQ(wav.frames(), 64 * kStep);
    const std::vector<float> expected = placeHits(workedExampleHits(-1, 3), wav.frames());
    // The drums come out of the resampler a little over full scale here and there.
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_NEAR(wav.interleaved[i], std::clamp(expected[i], -1.0f, 32767.0f / 32768),
                    2.0 / 32768)
            << "at sample " << i;
}

// The file loops without a seam: one loop four times over is four loops.
// Nothing rings over its end, so the tail adds nothing to it.
TEST_F(BeatRenderTest, OneLoopRepeatedIsFourLoopsAndItsTailAddsNothing) {
    for (const bool floatSamples : {false, true}) {
        RenderRequest asked = request(1);
        asked.floatSamples = floatSamples;
        asked.tail = true;
        const std::vector<float> one = render(asked).interleaved;
        ASSERT_EQ(one.size(), 16 * kStep * 2);
        std::vector<float> fourTimes;
        for (int loop = 0; loop < 4; ++loop)
            fourTimes.insert(fourTimes.end(), one.begin(), one.end());
        asked.loops = 4;
        asked.tail = false;
        EXPECT_EQ(render(asked).interleaved, fourTimes) << (floatSamples ? "float" : "16-bit");
    }
}

// The bass on step 16 only: it rings on over step 1, so the file starts
// inside it, and --tail lets the last one ring out to its end.
TEST_F(BeatRenderTest, ASoundRingingOverTheBarLineStartsTheFileAndEndsTheTail) {
    const QByteArray lastStepOnly = testing::beatFileBytes(150, {18});
    ASSERT_GT(bass->frameCount(), kStep);
    std::vector<Hit> hits;
    for (int pass = -1; pass < 2; ++pass)
        hits.push_back({(pass * 16 + 15) * std::int64_t{kStep}, bass.get()});

    const testing::Wav looped = render(request(2, lastStepOnly));
    ASSERT_EQ(looped.frames(), 32 * kStep);
    EXPECT_NE(looped.interleaved[0], 0.0f);
    EXPECT_EQ(looped.interleaved, placeHits(hits, looped.frames()));

    RenderRequest asked = request(2, lastStepOnly);
    asked.tail = true;
    const testing::Wav tailed = render(asked);
    ASSERT_EQ(tailed.frames(), 31 * kStep + bass->frameCount());
    EXPECT_EQ(tailed.interleaved, placeHits(hits, tailed.frames()));
    EXPECT_NE(tailed.interleaved[tailed.interleaved.size() - 2], 0.0f) << "the bass's last frame";
}

TEST_F(BeatRenderTest, MutedTracksStaySilentAsWithTheirSwitchOff) {
    RenderRequest asked = request(2);
    asked.muted[indexOf(Track::Snare)] = true;
    const testing::Wav noSnare = render(asked);
    EXPECT_EQ(noSnare.interleaved, placeHits(workedExampleHits(-1, 1, true), noSnare.frames()));

    asked.muted[indexOf(Track::Bass)] = true;
    const testing::Wav silent = render(asked);
    ASSERT_EQ(silent.frames(), 32 * kStep);
    EXPECT_EQ(silent.interleaved, std::vector<float>(silent.interleaved.size(), 0.0f));
}

// At 44.1 kHz a step of 151 ms is 6659.1 frames: every hit falls on its own
// rounded frame of the grid, counted from tick 17.
TEST_F(BeatRenderTest, StepsOfFractionalFramesFallOnTheGridsRoundedFrames) {
    constexpr int kRate441 = 44100;
    constexpr int kInterval = 151;
    constexpr int kLoops = 3;
    const auto bass441 = decodeWav(TROVIK_SAMPLE_DIR "/bass.wav", kRate441);
    std::vector<int> everyBassStep(16);
    std::iota(everyBassStep.begin(), everyBassStep.end(), 3);
    RenderRequest asked = request(kLoops, testing::beatFileBytes(kInterval, everyBassStep));
    asked.sampleRate = kRate441;
    const testing::Wav wav = render(asked);
    EXPECT_EQ(wav.rate, kRate441);
    const std::int64_t start = gridFrame(17, kInterval, kRate441);
    ASSERT_EQ(wav.frames(), gridFrame(16 * kLoops + 17, kInterval, kRate441) - start);
    std::vector<Hit> hits;
    for (int tick = 16; tick < 16 * kLoops + 17; ++tick)
        hits.push_back({gridFrame(tick, kInterval, kRate441) - start, bass441.get()});
    EXPECT_EQ(wav.interleaved, placeHits(hits, wav.frames()));
}

// An effect louder than full scale: clipped in 16 bits, never wrapped
// round; kept as it is in float.
TEST_F(BeatRenderTest, OversClipInSixteenBitsAndStayInFloat) {
    const std::filesystem::path loud = folder.path() / "loud.wav";
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(loud.c_str(), SFM_WRITE, &info);
    const std::vector<float> overs{1.5f, -1.5f, 1.5f, -1.5f};
    sf_writef_float(file, overs.data(), static_cast<sf_count_t>(overs.size()));
    sf_close(file);

    RenderRequest asked = request(1, testing::beatFileBytes(150, {35}));  // effect step 1
    asked.effectFile = loud.string();
    EXPECT_EQ(render(asked).interleaved[2], -1.5f);

    asked.floatSamples = false;
    const testing::Wav clipped = render(asked);
    EXPECT_EQ(clipped.interleaved[0], 32767.0f / 32768);
    EXPECT_EQ(clipped.interleaved[2], -1.0f);
}

// The file stands under the user's umask like any new file, and no
// temporary file stays beside it.
TEST_F(BeatRenderTest, ReplacesAnOldFileAndLeavesOnlyItBehind) {
    testing::writeFile(output, "old");
    const mode_t before = ::umask(027);
    render(request(1));
    ::umask(before);
    struct stat facts {};
    ASSERT_EQ(::stat(output.c_str(), &facts), 0);
    EXPECT_EQ(facts.st_mode & 0777, 0640u);
    EXPECT_EQ(testing::namesIn(folder.path()), (std::vector<std::string>{"beat.tbk", "out.wav"}));
}

}  // namespace
}  // namespace trovik
