#pragma once

#include <memory>
#include <string>

#include "sample.h"

namespace trovik {

// Reads a WAV file (8-bit unsigned, 16/24/32-bit PCM or 32/64-bit float,
// any channel count and sample rate) and converts it to stereo float at
// `outputRate`. Returns nullptr for a missing, unreadable or non-WAV file.
std::unique_ptr<Sample> decodeWav(const std::string& path, int outputRate);

}  // namespace trovik
