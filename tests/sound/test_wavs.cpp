// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/sound/test_wavs.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace trovik::testing {

const std::vector<WavKind> kWavKinds{
    {"u8_mono_22050.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, 22050},
    {"pcm16_mono_44100.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100},
    {"pcm16_stereo_48000.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 48000},
    {"pcm24_stereo_96000.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 96000},
    {"pcm32_mono_8000.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 1, 8000},
    {"float_stereo_44100.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100},
    {"double_mono_32000.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 1, 32000},
    {"pcm16_4ch_44100.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 4, 44100},
    {"wavex_pcm16_stereo.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 2, 44100},
    {"rf64_pcm16_mono.wav", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, 1, 48000}};

namespace {

SNDFILE* openForWriting(const std::filesystem::path& path, int format, int channels, int rate) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) throw std::runtime_error("cannot write " + path.string());
    return file;
}

}  // namespace

std::string writeToneWav(const std::filesystem::path& path, int subtype, int channels, int rate,
                         double frequency, double seconds) {
    SNDFILE* file = openForWriting(
        path, (subtype & SF_FORMAT_TYPEMASK) != 0 ? subtype : SF_FORMAT_WAV | subtype, channels,
        rate);
    const int frames = static_cast<int>(std::lround(seconds * rate));
    std::vector<double> data(static_cast<std::size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i) {
        const double value = 0.5 * std::sin(2.0 * std::numbers::pi * frequency * i / rate);
        for (int c = 0; c < channels; ++c) data[static_cast<std::size_t>(i) * channels + c] = value;
    }
    sf_writef_double(file, data.data(), frames);
    sf_close(file);
    return path.string();
}

void writeConstantWav(const std::filesystem::path& path, double value, int frames, int rate) {
    SNDFILE* file = openForWriting(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, rate);
    const std::vector<short> data(static_cast<std::size_t>(frames),
                                  static_cast<short>(std::lround(value * 32768.0)));
    const sf_count_t written = sf_writef_short(file, data.data(), frames);
    sf_close(file);
    if (written != frames) throw std::runtime_error("cannot write " + path.string());
}

// libsndfile writes the tone under the plain 44-byte header of 16-bit PCM;
// the sizes in it are then set for the whole length.
void writeLongToneWav(const std::filesystem::path& path, std::uint32_t dataBytes, int rate,
                      double frequency, double toneSeconds) {
    dataBytes &= ~1u;
    writeToneWav(path, SF_FORMAT_PCM_16, 1, rate, frequency,
                 std::min(toneSeconds, dataBytes / 2 / double(rate)));
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    for (const auto& [at, value] : {std::pair{4u, 36 + dataBytes}, {40u, dataBytes}}) {
        out.seekp(at);
        for (int i = 0; i < 4; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xff));
    }
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
    std::filesystem::resize_file(path, 44 + std::uintmax_t{dataBytes});
}

int risingZeroCrossings(const float* interleaved, int frames, int channel) {
    int crossings = 0;
    for (int i = 1; i < frames; ++i) {
        if (interleaved[(i - 1) * 2 + channel] < 0.0f && interleaved[i * 2 + channel] >= 0.0f)
            ++crossings;
    }
    return crossings;
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "trovik-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace trovik::testing
