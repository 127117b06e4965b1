// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/measure/recording_file.h"

#include <sndfile.h>

#include <cstddef>

namespace trovik::onsets {

std::optional<Sound> readLeftChannel(const char* path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (file == nullptr) return std::nullopt;
    std::vector<float> all(static_cast<std::size_t>(info.frames) * info.channels);
    const sf_count_t frames = sf_readf_float(file, all.data(), info.frames);
    sf_close(file);
    Sound sound{info.samplerate, std::vector<float>(static_cast<std::size_t>(frames))};
    for (sf_count_t i = 0; i < frames; ++i) sound.left[i] = all[i * info.channels];
    return sound;
}

}  // namespace trovik::onsets
