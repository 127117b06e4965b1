// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace trovik::testing {

// Writes a sine tone as a WAV file with the given libsndfile subtype
// (SF_FORMAT_PCM_U8, SF_FORMAT_PCM_16, ...), in a plain WAV unless it names
// another container (SF_FORMAT_RF64 | SF_FORMAT_PCM_16). Every channel carries the tone.
std::string writeToneWav(const std::filesystem::path& path, int subtype, int channels, int rate,
                         double frequency, double seconds);

// Writes a 16-bit mono WAV whose every frame holds `value` (a multiple of
// 1/32768, so that it decodes back exactly). Over an existing file it
// rewrites it in place: same inode, new content.
void writeConstantWav(const std::filesystem::path& path, double value, int frames, int rate);

// Writes a 16-bit mono WAV of `dataBytes` bytes of sound that holds a tone
// for its first `toneSeconds` and silence after it. The silence is a hole in
// the file, so that even a file of gigabytes is written at once and takes no
// room on the disk.
void writeLongToneWav(const std::filesystem::path& path, std::uint32_t dataBytes, int rate,
                      double frequency, double toneSeconds);

// Counts upward zero crossings of one channel of interleaved stereo frames.
int risingZeroCrossings(const float* interleaved, int frames, int channel);

// The kinds of WAV the program plays, each under a file name of its own:
// every sample format, more than two channels, the extensible header and
// RF64. `format` is a libsndfile format, container and sample format.
struct WavKind {
    const char* name;
    int format, channels, rate;
};
extern const std::vector<WavKind> kWavKinds;

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace trovik::testing
