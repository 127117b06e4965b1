#pragma once

#include <vector>

namespace trovik {

// Decoded sound, ready for the output device: interleaved stereo float
// frames at the device's sample rate.
struct Sample {
    static constexpr int kChannels = 2;
    std::vector<float> interleaved;

    int frameCount() const { return static_cast<int>(interleaved.size() / kChannels); }
};

}  // namespace trovik
