// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace trovik::bench {

inline std::filesystem::path scratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "trovik-bench-XXXXXX").string();
    return mkdtemp(pattern.data());
}

// A 16-bit stereo 44.1 kHz WAV of about `bytes` bytes.
inline std::string writeWavOfSize(const std::filesystem::path& path, std::size_t bytes) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    const auto frames = static_cast<sf_count_t>(bytes / 4);
    std::vector<short> data(static_cast<std::size_t>(frames) * 2);
    for (sf_count_t i = 0; i < frames; ++i)
        data[i * 2] = data[i * 2 + 1] = static_cast<short>(8000 * std::sin(i * 0.05));
    sf_writef_short(file, data.data(), frames);
    sf_close(file);
    return path.string();
}

// Makes the file look changed, so that the next play decodes it again.
inline void touch(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    timespec times[2] = {info.st_atim, info.st_mtim};
    times[1].tv_nsec = (times[1].tv_nsec + 1) % 1'000'000'000;
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

}  // namespace trovik::bench
