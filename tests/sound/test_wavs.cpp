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

std::string writeToneWav(const std::filesystem::path& path, int subtype, int channels, int rate,
                         double frequency, double seconds) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = (subtype & SF_FORMAT_TYPEMASK) != 0 ? subtype : SF_FORMAT_WAV | subtype;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) throw std::runtime_error("cannot write " + path.string());
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

void writeLongToneWav(const std::filesystem::path& path, std::uint32_t dataBytes, int rate,
                      double frequency, double toneSeconds) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xff));
    };
    dataBytes &= ~1u;
    out << "RIFF";
    put(36 + dataBytes, 4);
    out << "WAVEfmt ";
    put(16, 4);
    put(1, 2);  // PCM
    put(1, 2);  // mono
    put(static_cast<std::uint32_t>(rate), 4);
    put(static_cast<std::uint32_t>(rate) * 2, 4);
    put(2, 2);
    put(16, 2);
    out << "data";
    put(dataBytes, 4);
    const auto toneFrames =
        std::min<std::uint32_t>(static_cast<std::uint32_t>(toneSeconds * rate), dataBytes / 2);
    for (std::uint32_t i = 0; i < toneFrames; ++i) {
        const double value = 0.5 * std::sin(2.0 * std::numbers::pi * frequency * i / rate);
        put(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(value * 32767))), 2);
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
