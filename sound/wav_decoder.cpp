#include "wav_decoder.h"

#include <SDL.h>
#include <sndfile.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace trovik {
namespace {

struct SndFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndFilePtr = std::unique_ptr<SNDFILE, SndFileCloser>;

struct AudioStreamFreer {
    void operator()(SDL_AudioStream* stream) const { SDL_FreeAudioStream(stream); }
};
using AudioStreamPtr = std::unique_ptr<SDL_AudioStream, AudioStreamFreer>;

bool isWavContainer(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64;
}

// Keeps the first two channels; a mono file stays mono for the converter.
std::vector<float> readAtMostStereo(SNDFILE* file, const SF_INFO& info, int& channels) {
    std::vector<float> all(static_cast<std::size_t>(info.frames) * info.channels);
    const sf_count_t got = sf_readf_float(file, all.data(), info.frames);
    channels = std::min(info.channels, 2);
    std::vector<float> kept(static_cast<std::size_t>(got) * channels);
    for (sf_count_t frame = 0; frame < got; ++frame) {
        for (int c = 0; c < channels; ++c) kept[frame * channels + c] = all[frame * info.channels + c];
    }
    return kept;
}

// SDL's resampler keeps back its last few hundred input frames even after a
// flush, so the input gets a tail of silence and the output is cut to the
// length the conversion should give.
std::unique_ptr<Sample> convert(std::vector<float> source, int channels, int sourceRate, int outputRate) {
    const auto sourceFrames = static_cast<std::int64_t>(source.size()) / channels;
    const auto expectedFrames = (sourceFrames * outputRate + sourceRate / 2) / sourceRate;
    constexpr int kTailFrames = 4096;
    source.resize(source.size() + static_cast<std::size_t>(kTailFrames) * channels, 0.0f);

    AudioStreamPtr stream(SDL_NewAudioStream(AUDIO_F32SYS, static_cast<Uint8>(channels), sourceRate,
                                             AUDIO_F32SYS, Sample::kChannels, outputRate));
    if (!stream) return nullptr;
    const int bytes = static_cast<int>(source.size() * sizeof(float));
    if (SDL_AudioStreamPut(stream.get(), source.data(), bytes) != 0 || SDL_AudioStreamFlush(stream.get()) != 0) {
        return nullptr;
    }
    auto sample = std::make_unique<Sample>();
    sample->interleaved.resize(static_cast<std::size_t>(SDL_AudioStreamAvailable(stream.get())) / sizeof(float));
    const int got = SDL_AudioStreamGet(stream.get(), sample->interleaved.data(),
                                       static_cast<int>(sample->interleaved.size() * sizeof(float)));
    if (got < 0) return nullptr;
    const auto gotFrames = static_cast<std::int64_t>(got) / static_cast<int>(sizeof(float) * Sample::kChannels);
    sample->interleaved.resize(static_cast<std::size_t>(std::min(gotFrames, expectedFrames)) * Sample::kChannels);
    return sample;
}

}  // namespace

std::unique_ptr<Sample> decodeWav(const std::string& path, int outputRate) {
    if (path.empty()) return nullptr;
    SF_INFO info{};
    SndFilePtr file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file || !isWavContainer(info.format) || info.channels < 1 || info.samplerate < 1) return nullptr;
    int channels = 0;
    std::vector<float> frames = readAtMostStereo(file.get(), info, channels);
    return convert(std::move(frames), channels, info.samplerate, outputRate);
}

}  // namespace trovik
