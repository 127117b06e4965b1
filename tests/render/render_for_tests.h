// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "sound/sample.h"

namespace trovik::testing {

// The six lines of a beat file: interval and the cells that are on, given
// by Command number.
QByteArray beatFileBytes(int interval, const std::vector<int>& cellsOn);
// The worked example: interval 150, bass steps 1, 5, 9, 13, snare 13 and 5.
QByteArray workedExampleBeat();
void writeFile(const std::filesystem::path& path, const QByteArray& bytes);
QByteArray readFile(const std::filesystem::path& path);

struct Wav {
    int rate = 0;
    int format = 0;                  // libsndfile's format word
    std::vector<float> interleaved;  // stereo
    std::int64_t frames() const { return static_cast<std::int64_t>(interleaved.size() / 2); }
};
Wav readWav(const std::filesystem::path& path);
// The names in a folder and below it, relative to it, sorted.
std::vector<std::string> namesIn(const std::filesystem::path& folder);

// A sample starting on a frame, cutting whatever played before it.
struct Hit {
    std::int64_t frame;
    const Sample* sample;
};
// The output of `frames` frames from frame 0 on, for hits sorted by frame;
// hits before frame 0 ring on into it.
std::vector<float> placeHits(const std::vector<Hit>& hits, std::int64_t frames);

// Frame of tick n on a grid starting on frame 0, rounded half up.
std::int64_t gridFrame(std::int64_t n, int intervalMs, int rate);

}  // namespace trovik::testing
