#include "wav_decoder.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <fstream>

#include "test_wavs.h"

namespace trovik {
namespace {

using testing::risingZeroCrossings;
using testing::TempFolder;
using testing::writeToneWav;

struct WavKind {
    const char* name;
    int subtype;
    int channels;
    int rate;
};

class DecodeEveryKind : public ::testing::TestWithParam<WavKind> {};

// A 440 Hz tone of half a second must come out at the output rate as half a
// second of 440 Hz on both channels, whatever the file's own format.
TEST_P(DecodeEveryKind, KeepsLengthAndPitchAtTheOutputRate) {
    const WavKind kind = GetParam();
    TempFolder folder;
    const std::string path =
        writeToneWav(folder.path() / "tone.wav", kind.subtype, kind.channels, kind.rate, 440.0, 0.5);
    constexpr int kOutputRate = 48000;

    const std::unique_ptr<Sample> sample = decodeWav(path, kOutputRate);

    ASSERT_NE(sample, nullptr);
    EXPECT_NEAR(sample->frameCount(), kOutputRate / 2, kOutputRate / 200) << "length within 5 ms";
    EXPECT_TRUE(sample->isComplete());
    EXPECT_NEAR(risingZeroCrossings(sample->frame(0), sample->frameCount(), 0), 220, 2);
    EXPECT_NEAR(risingZeroCrossings(sample->frame(0), sample->frameCount(), 1), 220, 2);
    int firstLoud = 0;
    while (firstLoud < sample->frameCount() && std::fabs(sample->frame(firstLoud)[0]) < 0.1f) ++firstLoud;
    EXPECT_LE(firstLoud, kOutputRate / 2000) << "the sound starts at once, not after a delay";
    float peak = 0.0f;
    for (int i = 0; i < sample->frameCount() * 2; ++i) peak = std::max(peak, std::fabs(sample->frame(0)[i]));
    EXPECT_NEAR(peak, 0.5f, 0.05f) << "level kept";
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DecodeEveryKind,
    ::testing::Values(WavKind{"u8_mono_22050", SF_FORMAT_PCM_U8, 1, 22050},
                      WavKind{"s16_mono_44100", SF_FORMAT_PCM_16, 1, 44100},
                      WavKind{"s16_stereo_48000", SF_FORMAT_PCM_16, 2, 48000},
                      WavKind{"s24_stereo_96000", SF_FORMAT_PCM_24, 2, 96000},
                      WavKind{"s32_mono_8000", SF_FORMAT_PCM_32, 1, 8000},
                      WavKind{"f32_stereo_44100", SF_FORMAT_FLOAT, 2, 44100},
                      WavKind{"f64_mono_32000", SF_FORMAT_DOUBLE, 1, 32000},
                      WavKind{"s16_quad_44100", SF_FORMAT_PCM_16, 4, 44100}),
    [](const ::testing::TestParamInfo<WavKind>& info) { return std::string(info.param.name); });

TEST(DecodeWav, RefusesWhatIsNoPlayableWav) {
    TempFolder folder;
    EXPECT_EQ(decodeWav("", 44100), nullptr) << "empty path";
    EXPECT_EQ(decodeWav((folder.path() / "missing.wav").string(), 44100), nullptr) << "missing file";
    EXPECT_EQ(decodeWav(folder.path().string(), 44100), nullptr) << "a folder";

    const auto text = folder.path() / "notes.wav";
    std::ofstream(text) << "this is no sound at all, just a text file with a .wav name\n";
    EXPECT_EQ(decodeWav(text.string(), 44100), nullptr) << "text";

    const auto truncated = folder.path() / "truncated.wav";
    std::ofstream(truncated, std::ios::binary) << "RIFF\x24\x00\x00\x00WAVEfmt ";
    EXPECT_EQ(decodeWav(truncated.string(), 44100), nullptr) << "header cut short";

    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 1;
    info.format = SF_FORMAT_AIFF | SF_FORMAT_PCM_16;
    const auto aiff = folder.path() / "tone.aiff";
    sf_close(sf_open(aiff.c_str(), SFM_WRITE, &info));
    EXPECT_EQ(decodeWav(aiff.string(), 44100), nullptr) << "another container";
}

}  // namespace
}  // namespace trovik
