// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "sound/sample.h"

namespace trovik {

// A WAV file (8-bit unsigned, 16/24/32-bit PCM or 32/64-bit float, any
// channel count and sample rate, up to the format's size limits) decoded a
// piece at a time into stereo float frames at the output rate. Files with
// more than two channels keep their first two; mono plays on both sides.
//
// Every buffer it holds is small and fixed once it is open, so a huge file
// costs no more memory than a short one.
class WavDecoding {
  public:
    // nullptr for a missing, unreadable, non-WAV or unconvertible file.
    static std::unique_ptr<WavDecoding> open(const std::string& path, int outputRate);
    // The same from bytes in memory, which must outlive the decoding.
    static std::unique_ptr<WavDecoding> openBytes(const void* data, std::size_t size,
                                                  int outputRate);

    ~WavDecoding();
    WavDecoding(const WavDecoding&) = delete;
    WavDecoding& operator=(const WavDecoding&) = delete;

    // How many output frames the whole file gives, as its header tells; a
    // cut-short file ends earlier.
    std::int64_t expectedFrames() const { return expectedFrames_; }

    // Writes up to `frames` output frames to `out` (interleaved stereo) and
    // returns how many; fewer than asked only at the end.
    int read(float* out, int frames);
    bool ended() const { return ended_; }
    // Whether seek() can work at all: some codecs inside a WAV file can only
    // be read straight through.
    bool canSeek() const;

    // Goes to output frame `frame` (at most expectedFrames()), as if that
    // many frames had been read from the start. False when the file can no
    // longer be read; the decoding has then ended.
    bool seek(std::int64_t frame);

  private:
    struct File;
    WavDecoding(std::unique_ptr<File> file, int outputRate);
    static std::unique_ptr<WavDecoding> fromFile(std::unique_ptr<File> file, int outputRate);
    bool startConverter();
    int takeConverted(float* out, int frames);
    bool feedConverter();
    int readSameRate(float* out, int frames);

    std::unique_ptr<File> file_;
    int outputRate_;
    bool sameRate_ = true;
    std::int64_t expectedFrames_ = 0;
    std::int64_t produced_ = 0;
    bool sourceDone_ = false;
    bool flushed_ = false;
    int tailLeft_ = 0;  // frames of silence still to give the converter at the end
    bool ended_ = false;
    std::unique_ptr<float[]> scratch_;  // one read's worth of the file's own frames
    std::unique_ptr<float[]> kept_;     // the same, cut to the channels played
};

// Decodes a whole file into memory at once; nullptr when it is no playable
// WAV or does not fit `maxBytes`.
std::unique_ptr<Sample> decodeWav(const std::string& path, int outputRate,
                                  std::size_t maxBytes = 256u << 20);

}  // namespace trovik
