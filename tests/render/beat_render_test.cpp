// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/beat_render.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <numeric>
#include <sstream>

#include "render/looped_beat.h"
#include "sound/track_slots.h"
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
    // A mono WAV file of 32-bit float samples in the scratch folder; its path.
    std::string writeMonoFloatWav(const char* name, int rate, const std::vector<float>& samples) {
        const std::filesystem::path path = folder.path() / name;
        SF_INFO info{0, rate, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0, 0};
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        sf_writef_float(file, samples.data(), std::ssize(samples));
        sf_close(file);
        return path.string();
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

// In 16 bits each sample is rounded to the nearest step, not floored; the
// drums come out of the resampler a little over full scale here and there.
// The file loops without a seam, and nothing rings over its end, so the
// tail adds nothing to it. Muted tracks stay silent as with their switch off.
TEST_F(BeatRenderTest, WorkedExamplePutsEveryHitOnItsFrameForExactly16StepsALoop) {
    enum Muted { None, Snare, SnareAndBass };
    for (const auto& [loops, floatSamples, tail, muted] : {std::tuple{4, true, false, None},
                                                           {1, false, true, None},
                                                           {4, false, false, None},
                                                           {1, true, true, None},
                                                           {2, true, false, Snare},
                                                           {2, false, false, SnareAndBass}}) {
        RenderRequest asked = request(loops);
        asked.floatSamples = floatSamples;
        asked.tail = tail;
        asked.muted[indexOf(Track::Snare)] = muted != None;
        asked.muted[indexOf(Track::Bass)] = muted == SnareAndBass;
        const testing::Wav wav = render(asked);
        EXPECT_EQ(wav.rate, kRate);
        EXPECT_EQ(wav.format, SF_FORMAT_WAV | (floatSamples ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16));
        ASSERT_EQ(wav.frames(), loops * 16 * kStep);
        std::vector<float> expected =
            placeHits(muted == SnareAndBass ? std::vector<Hit>()
                                            : workedExampleHits(-1, loops - 1, muted == Snare),
                      wav.frames());
        for (float& sample : expected) {
            if (!floatSamples)
                sample = std::clamp(std::nearbyint(sample * 32768), -32768.0f, 32767.0f) / 32768;
        }
        EXPECT_EQ(wav.interleaved, expected)
            << loops << (floatSamples ? " float" : " 16-bit") << " muted " << muted;
    }
}

// At 44.1 kHz a step of 151 ms is 6659.1 frames: every hit falls on its own
// rounded frame of the grid, counted from tick 17. Step 1 is empty, so the
// file starts inside its last hit, playing on from where the file ends (the
// seam test tries that at many rates); --tail lets the last one ring out to
// its end.
TEST_F(BeatRenderTest, StepsOfFractionalFramesFallOnTheGridsRoundedFramesAndTheTailRingsOut) {
    constexpr int kRate441 = 44100;
    constexpr int kInterval = 151;
    constexpr int kLoops = 3;
    const auto bass441 = decodeWav(TROVIK_SAMPLE_DIR "/bass.wav", kRate441);
    std::vector<int> bassSteps2To16(15);
    std::iota(bassSteps2To16.begin(), bassSteps2To16.end(), 4);
    RenderRequest asked = request(kLoops, testing::beatFileBytes(kInterval, bassSteps2To16));
    asked.sampleRate = kRate441;
    const std::int64_t start = gridFrame(17, kInterval, kRate441);
    const std::int64_t lastHit = gridFrame(16 * kLoops + 16, kInterval, kRate441);
    const std::int64_t end = gridFrame(16 * kLoops + 17, kInterval, kRate441);
    std::vector<Hit> hits{{lastHit - end, bass441.get()}};
    for (int tick = 18; tick < 16 * kLoops + 17; ++tick) {
        if (tick % 16 != 1)
            hits.push_back({gridFrame(tick, kInterval, kRate441) - start, bass441.get()});
    }
    ASSERT_GT(bass441->frameCount(), end - lastHit);
    for (const bool tail : {false, true}) {
        asked.tail = tail;
        const testing::Wav wav = render(asked);
        EXPECT_EQ(wav.rate, kRate441);
        ASSERT_EQ(wav.frames(), (tail ? lastHit + bass441->frameCount() : end) - start);
        EXPECT_EQ(wav.interleaved, placeHits(hits, wav.frames())) << "tail " << tail;
    }
}

// An effect louder than full scale: clipped in 16 bits, never wrapped
// round; kept as it is in float.
TEST_F(BeatRenderTest, OversClipInSixteenBitsAndStayInFloat) {
    RenderRequest asked = request(1, testing::beatFileBytes(150, {35}));  // effect step 1
    asked.effectFile = writeMonoFloatWav("loud.wav", kRate, {1.5f, -1.5f, 1.5f, -1.5f});
    EXPECT_EQ(render(asked).interleaved[2], -1.5f);

    asked.floatSamples = false;
    const testing::Wav clipped = render(asked);
    EXPECT_EQ(clipped.interleaved[0], 32767.0f / 32768);
    EXPECT_EQ(clipped.interleaved[2], -1.0f);
}

// The effect declares 1 Hz, so each of its frames lasts a second at 48 kHz:
// decoded whole it would fill 1.1 GB. Streamed, through the ring and back to the head on the next
// hit, it renders as its straight decoding (its memory is measured in
// docs/PERFORMANCE.md).
TEST_F(BeatRenderTest, AnEffectTooLongToHoldIsStreamedExactly) {
    std::vector<float> ramp(3000);
    for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<float>(i % 7) / 8;
    RenderRequest asked = request(2, testing::beatFileBytes(999, {35}));  // effect step 1
    asked.effectFile = writeMonoFloatWav("1 Hz.wav", 1, ramp);
    const testing::Wav wav = render(asked);
    constexpr int kLoopFrames = 16 * 999 * 48;
    ASSERT_EQ(wav.frames(), 2 * kLoopFrames);
    std::vector<float> expected(std::size_t{kLoopFrames} * 2);
    ASSERT_EQ(WavDecoding::open(asked.effectFile, kRate)->read(expected.data(), kLoopFrames),
              kLoopFrames);
    EXPECT_GT(*std::max_element(expected.begin(), expected.end()), 0.5f) << "the ramp sounds";
    expected.insert(expected.end(), expected.begin(), expected.end());
    EXPECT_EQ(wav.interleaved, expected);
}

// A file of N loops played over and over has no seam: at any rate, interval
// and loop count, what rings in at its start is its last hit (the bass on
// step 16) playing on from where the file ends. Only the first block of
// each file is made.
TEST(LoopedBeatSeam, TheStartContinuesTheLastHitFromWhereTheFileEnds) {
    struct FirstBlockTaken {};
    for (const auto& [rate, intervalStep] :
         {std::pair{44100, 1}, {22050, 7}, {88200, 11}, {48000, 13}, {8000, 17}, {192000, 19}}) {
        const auto bass = decodeWav(TROVIK_SAMPLE_DIR "/bass.wav", rate);
        const render::TrackSound silent{&TrackSlots::silence(), 0};
        render::BeatToRender beat;
        beat.captions[18 - kFirstCellNumber] = QStringLiteral("O");
        for (beat.interval = 1; beat.interval <= 999; beat.interval += intervalStep) {
            for (int loops = 1; loops <= 4; ++loops) {
                render::LoopedBeat looped(beat, {},
                                          {{{bass.get(), bass->frameCount()}, silent, silent}},
                                          rate, {}, static_cast<std::uint64_t>(loops));
                std::vector<float> start;
                try {
                    looped.playLoops([&](const float* block, int frames) {
                        start.assign(block, block + 2 * frames);
                        throw FirstBlockTaken{};
                    });
                } catch (const FirstBlockTaken&) {
                }
                const std::int64_t end = gridFrame(16 * loops + 17, beat.interval, rate);
                const std::int64_t lastHit = gridFrame(16 * loops + 16, beat.interval, rate);
                ASSERT_FALSE(start.empty());
                ASSERT_EQ(start, placeHits({{lastHit - end, bass.get()}}, std::ssize(start) / 2))
                    << rate << " Hz, " << beat.interval << " ms, " << loops << " loops";
            }
        }
    }
}

// A link is written through: the file it leads to is replaced, in its own
// folder, under the user's umask like any new file, the link stays a link,
// and no temporary file stays beside either.
TEST_F(BeatRenderTest, WritesThroughALinkToTheFileItLeadsToUnderTheUmask) {
    const std::vector<float> plain = render(request(1)).interleaved;
    std::filesystem::create_directory(folder.path() / "sub");
    testing::writeFile(folder.path() / "sub/t.wav", "old");
    const std::filesystem::path link = folder.path() / "link.wav";
    std::filesystem::create_symlink("sub/t.wav", link);
    RenderRequest asked = request(1);
    asked.outputFile = link.string();
    const mode_t before = ::umask(027);
    render(asked);
    ::umask(before);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readWav(folder.path() / "sub/t.wav").interleaved, plain);
    struct stat facts {};
    ASSERT_EQ(::stat(link.c_str(), &facts), 0);
    EXPECT_EQ(facts.st_mode & 0777, 0640u);
    EXPECT_EQ(testing::namesIn(folder.path()),
              (std::vector<std::string>{"beat.tbk", "link.wav", "out.wav", "sub", "sub/t.wav"}));
}

}  // namespace
}  // namespace trovik
