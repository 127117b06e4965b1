// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer entry: any bytes either are refused or decode, through a small
// streamed sample, to no more frames than the header promised, and a second
// start plays exactly what the first one did.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sound/sample_filler.h"
#include "sound/wav_decoder.h"

namespace {

constexpr int kMostFrames = 1 << 15;

std::vector<float> play(trovik::Sample& sample, trovik::SampleFiller& filler) {
    std::vector<float> heard;
    float buffer[128 * trovik::Sample::kChannels];
    std::int64_t position = 0;
    for (int idle = 0; idle < 8 && position < kMostFrames; ++idle) {
        const trovik::Sample::Read read = sample.read(position, buffer, 128);
        heard.insert(heard.end(), buffer, buffer + read.frames * trovik::Sample::kChannels);
        position += read.frames;
        if (read.ended) break;
        if (read.frames > 0) idle = 0;
        filler.step(97);
        filler.step(97);
    }
    return heard;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace trovik;
    auto decoding = WavDecoding::openBytes(data, size, size % 2 == 0 ? 44100 : 48000);
    if (!decoding) return 0;
    const std::int64_t promised = decoding->expectedFrames();
    const auto sample = Sample::streamed(200, 300);
    SampleFiller filler(std::move(decoding), *sample);
    const std::vector<float> first = play(*sample, filler);
    const std::vector<float> second = play(*sample, filler);
    if (static_cast<std::int64_t>(first.size() / Sample::kChannels) > promised) std::abort();
    // Bytes, not floats: a float WAV may hold NaNs.
    if (first.size() != second.size() ||
        (!first.empty() &&
         std::memcmp(first.data(), second.data(), first.size() * sizeof(float)) != 0)) {
        std::abort();
    }
    return 0;
}
