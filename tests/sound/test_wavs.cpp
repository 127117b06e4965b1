#include "test_wavs.h"

#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace trovik::testing {

std::string writeToneWav(const std::filesystem::path& path, int subtype, int channels, int rate, double frequency,
                         double seconds) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | subtype;
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

int risingZeroCrossings(const float* interleaved, int frames, int channel) {
    int crossings = 0;
    for (int i = 1; i < frames; ++i) {
        if (interleaved[(i - 1) * 2 + channel] < 0.0f && interleaved[i * 2 + channel] >= 0.0f) ++crossings;
    }
    return crossings;
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "trovik-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace trovik::testing
