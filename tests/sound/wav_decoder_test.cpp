// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/wav_decoder.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "tests/sound/test_wavs.h"

namespace trovik {
namespace {

// A 440 Hz tone of half a second must come out at 48 kHz as half a second of
// 440 Hz on both channels, starting at once, whatever kind of WAV it is.
TEST(DecodeWav, EveryCommonKindKeepsLengthPitchLevelAndOnset) {
    testing::TempFolder folder;
    for (const testing::WavKind& kind : testing::kWavKinds) {
        SCOPED_TRACE(kind.name);
        const std::string path = testing::writeToneWav(folder.path() / kind.name, kind.format,
                                                       kind.channels, kind.rate, 440.0, 0.5);
        const std::unique_ptr<Sample> sample = decodeWav(path, 48000);
        ASSERT_NE(sample, nullptr);
        EXPECT_NEAR(sample->frameCount(), 24000, 240);
        for (int channel : {0, 1}) {
            EXPECT_NEAR(
                testing::risingZeroCrossings(sample->frame(0), sample->frameCount(), channel), 220,
                2);
        }
        std::vector<float> level(sample->frame(0), sample->frame(0) + sample->frameCount() * 2);
        for (float& value : level) value = std::fabs(value);
        const auto loud = std::ranges::find_if(level, [](float value) { return value >= 0.1f; });
        EXPECT_LE((loud - level.begin()) / 2, 24) << "starts within half a millisecond";
        EXPECT_NEAR(std::ranges::max(level), 0.5f, 0.05f);
    }
}

TEST(DecodeWav, RefusesWhatIsNoPlayableWav) {
    testing::TempFolder folder;
    const auto text = folder.path() / "notes.wav";
    std::ofstream(text) << "just a text file with a .wav name\n";
    const auto truncated = folder.path() / "truncated.wav";
    std::ofstream(truncated, std::ios::binary) << "RIFF\x24\x00\x00\x00WAVEfmt ";
    SF_INFO info{44100 * 0, 44100, 1, SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 0, 0};
    const auto aiff = folder.path() / "tone.aiff";
    sf_close(sf_open(aiff.c_str(), SFM_WRITE, &info));
    for (const auto& bad : {std::filesystem::path(), folder.path() / "missing.wav", folder.path(),
                            text, truncated, aiff}) {
        EXPECT_EQ(decodeWav(bad.string(), 44100), nullptr) << bad;
    }
}

}  // namespace
}  // namespace trovik
