#pragma once

#include <SDL.h>
#include <sndfile.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sample.h"

namespace trovik {

// A WAV file (8-bit unsigned, 16/24/32-bit PCM or 32/64-bit float, any
// channel count and sample rate) being decoded, a chunk at a time, into a
// stereo float Sample at the output rate. Files with more than two channels
// keep their first two.
class WavDecoding {
public:
    struct Opened;

    // nullopt for a missing, unreadable or non-WAV file.
    static std::optional<Opened> open(const std::string& path, int outputRate);

    ~WavDecoding();
    WavDecoding(const WavDecoding&) = delete;
    WavDecoding& operator=(const WavDecoding&) = delete;

    // Decodes up to `sourceFrames` more frames of the file into the sample and
    // publishes them. Returns true once the whole file is in and the sample
    // is complete.
    bool decodeMore(int sourceFrames);
    bool finished() const { return finished_; }
    const Sample& sample() const { return sample_; }

private:
    WavDecoding(SNDFILE* file, const SF_INFO& info, int outputRate, Sample& sample);
    void writeSameRate(int frames);
    bool resample(int frames);
    void drainConverter();
    void finish();

    SNDFILE* file_;
    int fileChannels_;
    int keptChannels_;
    bool sameRate_;
    SDL_AudioStream* converter_ = nullptr;
    Sample& sample_;
    std::vector<float> fileFrames_;
    std::vector<float> keptFrames_;
    int written_ = 0;
    bool finished_ = false;
};

struct WavDecoding::Opened {
    std::unique_ptr<Sample> sample;  // filled as decoding goes on
    std::unique_ptr<WavDecoding> decoding;
};

// Decodes a whole file at once; nullptr when it is no playable WAV.
std::unique_ptr<Sample> decodeWav(const std::string& path, int outputRate);

}  // namespace trovik
