#include "wav_decoder.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace trovik {
namespace {

// SDL's resampler keeps back its last few hundred input frames even after a
// flush, so the input ends with a tail of silence and the output is cut to
// the length the conversion should give.
constexpr int kConverterTailFrames = 4096;

bool isWavContainer(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64;
}

std::int64_t convertedLength(std::int64_t frames, int sourceRate, int outputRate) {
    return (frames * outputRate + sourceRate / 2) / sourceRate;
}

}  // namespace

std::optional<WavDecoding::Opened> WavDecoding::open(const std::string& path, int outputRate) {
    if (path.empty() || outputRate <= 0) return std::nullopt;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return std::nullopt;
    const std::int64_t length = convertedLength(info.frames, std::max(info.samplerate, 1), outputRate);
    if (!isWavContainer(info.format) || info.channels < 1 || info.samplerate < 1 || length > INT_MAX / 4) {
        sf_close(file);
        return std::nullopt;
    }
    Opened opened;
    opened.sample = std::make_unique<Sample>(static_cast<int>(length));
    opened.decoding.reset(new WavDecoding(file, info, outputRate, *opened.sample));
    if (!opened.decoding->sameRate_ && opened.decoding->converter_ == nullptr) return std::nullopt;
    return opened;
}

WavDecoding::WavDecoding(SNDFILE* file, const SF_INFO& info, int outputRate, Sample& sample)
    : file_(file),
      fileChannels_(info.channels),
      keptChannels_(std::min(info.channels, Sample::kChannels)),
      sameRate_(info.samplerate == outputRate),
      sample_(sample) {
    if (!sameRate_) {
        converter_ = SDL_NewAudioStream(AUDIO_F32SYS, static_cast<Uint8>(keptChannels_), info.samplerate,
                                        AUDIO_F32SYS, Sample::kChannels, outputRate);
    }
}

WavDecoding::~WavDecoding() {
    if (converter_ != nullptr) SDL_FreeAudioStream(converter_);
    sf_close(file_);
}

bool WavDecoding::decodeMore(int sourceFrames) {
    // Read through a small scratch buffer that stays in the heap: a buffer
    // the size of the whole chunk would be fresh memory, paid for in page
    // faults on every call.
    constexpr int kScratchFrames = 4096;
    fileFrames_.resize(static_cast<std::size_t>(kScratchFrames) * fileChannels_);
    bool ok = true;
    int wanted = sourceFrames;
    while (ok && wanted > 0) {
        const int asked = std::min(wanted, kScratchFrames);
        const auto got = static_cast<int>(sf_readf_float(file_, fileFrames_.data(), asked));
        ok = sameRate_ ? (writeSameRate(got), true) : resample(got);
        wanted -= got;
        if (got < asked) break;
    }
    if (!ok || wanted > 0) {
        finish();
    } else {
        sample_.publish(written_);
    }
    return finished_;
}

void WavDecoding::writeSameRate(int frames) {
    const int room = std::min(frames, sample_.capacity() - written_);
    const float* in = fileFrames_.data();
    float* out = sample_.frameForWriting(written_);
    if (fileChannels_ == Sample::kChannels) {
        std::copy_n(in, static_cast<std::size_t>(room) * Sample::kChannels, out);
    } else if (fileChannels_ == 1) {
        for (std::size_t i = 0; i < static_cast<std::size_t>(room); ++i) {
            out[2 * i] = out[2 * i + 1] = in[i];  // mono plays on both sides
        }
    } else {
        const auto stride = static_cast<std::size_t>(fileChannels_);
        for (std::size_t i = 0; i < static_cast<std::size_t>(room); ++i) {
            out[2 * i] = in[i * stride];
            out[2 * i + 1] = in[i * stride + 1];
        }
    }
    written_ += room;
}

bool WavDecoding::resample(int frames) {
    keptFrames_.resize(static_cast<std::size_t>(frames) * keptChannels_);
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < keptChannels_; ++c) {
            keptFrames_[static_cast<std::size_t>(i) * keptChannels_ + c] =
                fileFrames_[static_cast<std::size_t>(i) * fileChannels_ + c];
        }
    }
    const auto bytes = static_cast<int>(keptFrames_.size() * sizeof(float));
    if (bytes > 0 && SDL_AudioStreamPut(converter_, keptFrames_.data(), bytes) != 0) return false;
    drainConverter();
    return true;
}

void WavDecoding::drainConverter() {
    constexpr int kFrameBytes = Sample::kChannels * sizeof(float);
    const int room = (sample_.capacity() - written_) * kFrameBytes;
    const int wanted = std::min(SDL_AudioStreamAvailable(converter_) / kFrameBytes * kFrameBytes, room);
    if (wanted <= 0) return;
    const int got = SDL_AudioStreamGet(converter_, sample_.frameForWriting(written_), wanted);
    if (got > 0) written_ += got / kFrameBytes;
}

void WavDecoding::finish() {
    if (converter_ != nullptr) {
        const std::vector<float> tail(static_cast<std::size_t>(kConverterTailFrames) * keptChannels_, 0.0f);
        SDL_AudioStreamPut(converter_, tail.data(), static_cast<int>(tail.size() * sizeof(float)));
        SDL_AudioStreamFlush(converter_);
        drainConverter();
    }
    sample_.complete(written_);
    finished_ = true;
}

std::unique_ptr<Sample> decodeWav(const std::string& path, int outputRate) {
    auto opened = WavDecoding::open(path, outputRate);
    if (!opened) return nullptr;
    while (!opened->decoding->decodeMore(1 << 16)) {
    }
    return std::move(opened->sample);
}

}  // namespace trovik
