// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/wav_decoder.h"

#include <SDL.h>
#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace trovik {
namespace {

// SDL's resampler keeps back its last few hundred input frames even after a
// flush, so the input ends with a tail of silence and the output is cut to
// the length the conversion should give.
constexpr int kConverterTailFrames = 4096;
// One read from the file, in samples of all its channels together.
constexpr int kScratchSamples = 16384;
constexpr int kDiscardFrames = 4096;
constexpr int kMostConvertedFrames = 1 << 16;
// Beyond any real recording; keeps the length arithmetic far from overflow.
constexpr sf_count_t kMostSourceFrames = sf_count_t{1} << 40;
constexpr int kHighestSourceRate = 1'000'000;

bool isWavContainer(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64;
}

std::int64_t convertedLength(std::int64_t frames, int sourceRate, int outputRate) {
    return (frames * outputRate + sourceRate / 2) / sourceRate;
}

// Bytes in memory as a file for libsndfile.
struct MemoryBytes {
    const unsigned char* data = nullptr;
    sf_count_t size = 0;
    sf_count_t position = 0;
};

// Only a WAV container is handed to libsndfile, which would otherwise try
// every format it knows on whatever it is given.
bool looksLikeWav(const unsigned char* head, std::size_t size) {
    if (size < 12 || std::memcmp(head + 8, "WAVE", 4) != 0) return false;
    return std::memcmp(head, "RIFF", 4) == 0 || std::memcmp(head, "RIFX", 4) == 0 ||
           std::memcmp(head, "RF64", 4) == 0;
}

sf_count_t memoryLength(void* user) {
    return static_cast<MemoryBytes*>(user)->size;
}

sf_count_t memorySeek(sf_count_t offset, int whence, void* user) {
    auto& bytes = *static_cast<MemoryBytes*>(user);
    const sf_count_t base = whence == SEEK_CUR   ? bytes.position
                            : whence == SEEK_END ? bytes.size
                                                 : 0;
    if ((offset < 0 && base + offset < 0) || (offset > 0 && offset > bytes.size - base)) return -1;
    bytes.position = base + offset;
    return bytes.position;
}

sf_count_t memoryRead(void* out, sf_count_t count, void* user) {
    auto& bytes = *static_cast<MemoryBytes*>(user);
    const sf_count_t n =
        std::clamp<sf_count_t>(bytes.size - bytes.position, 0, std::max<sf_count_t>(count, 0));
    if (n > 0) std::memcpy(out, bytes.data + bytes.position, static_cast<std::size_t>(n));
    bytes.position += n;
    return n;
}

sf_count_t memoryWrite(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t memoryTell(void* user) {
    return static_cast<MemoryBytes*>(user)->position;
}

// SDL's resampler goes over its last few hundred input frames again each
// time it is given more, at the output rate: at a ratio of 48,000 (a file
// that declares 1 Hz) that is hundreds of megabytes at a time. A steeper
// conversion goes through rates in between, no step steeper than this.
constexpr std::int64_t kSteepestStep = 256;
constexpr int kBetweenStepsSamples = 1024;  // a piece passed on: 512 stereo frames

// SDL's converters, one after the other, from the file's rate and channels
// to stereo at the output rate.
class ConverterChain {
  public:
    ConverterChain() = default;
    ~ConverterChain() { clear(); }
    ConverterChain(const ConverterChain&) = delete;
    ConverterChain& operator=(const ConverterChain&) = delete;

    bool start(int channels, int sourceRate, int outputRate) {
        clear();
        between_.resize(kBetweenStepsSamples);
        int from = sourceRate;
        for (;;) {
            const int to = static_cast<int>(
                std::min<std::int64_t>(outputRate, std::int64_t{from} * kSteepestStep));
            SDL_AudioStream* step = SDL_NewAudioStream(AUDIO_F32SYS, static_cast<Uint8>(channels),
                                                       from, AUDIO_F32SYS, Sample::kChannels, to);
            if (step == nullptr) return false;
            steps_.push_back(step);
            if (to == outputRate) return true;
            from = to;
            channels = Sample::kChannels;
        }
    }
    bool put(const float* samples, int bytes) {
        return SDL_AudioStreamPut(steps_.front(), samples, bytes) == 0;
    }
    // At the end: everything given goes through every step.
    bool flush() {
        for (std::size_t step = 0; step < steps_.size(); ++step) {
            if (SDL_AudioStreamFlush(steps_[step]) != 0) return false;
            while (step + 1 < steps_.size() && ready(step) > 0) {
                if (!passPiece(step)) return false;
            }
        }
        return true;
    }
    int available() { return ready(steps_.size() - 1); }
    int get(float* out, int bytes) { return SDL_AudioStreamGet(steps_.back(), out, bytes); }

  private:
    // The bytes step `step` has ready, passing on from the steps before it a
    // piece at a time until it has some, so that no step ever holds more
    // than a piece's worth of the next one's work.
    int ready(std::size_t step) {
        for (;;) {
            const int have = SDL_AudioStreamAvailable(steps_[step]);
            if (have > 0 || step == 0) return have;
            if (ready(step - 1) <= 0 || !passPiece(step - 1)) return 0;
        }
    }
    bool passPiece(std::size_t step) {
        const int bytes = std::min(SDL_AudioStreamAvailable(steps_[step]),
                                   static_cast<int>(between_.size() * sizeof(float)));
        const int got = SDL_AudioStreamGet(steps_[step], between_.data(), bytes);
        return got > 0 && SDL_AudioStreamPut(steps_[step + 1], between_.data(), got) == 0;
    }
    void clear() {
        for (SDL_AudioStream* step : steps_) SDL_FreeAudioStream(step);
        steps_.clear();
    }

    std::vector<SDL_AudioStream*> steps_;
    std::vector<float> between_;
};

}  // namespace

struct WavDecoding::File {
    SNDFILE* handle = nullptr;
    SF_INFO info{};
    MemoryBytes bytes;
    SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
    ConverterChain converter;

    ~File() {
        if (handle != nullptr) sf_close(handle);
    }
};

std::unique_ptr<WavDecoding> WavDecoding::open(const std::string& path, int outputRate) {
    if (path.empty()) return nullptr;
    // Without blocking: a named pipe or a device with a .wav name must not
    // hold up the caller, and only a plain file is read at all.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    unsigned char head[12];
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        ::pread(fd, head, sizeof head, 0) != sizeof head || !looksLikeWav(head, sizeof head)) {
        ::close(fd);
        return nullptr;
    }
    auto file = std::make_unique<File>();
    file->handle = sf_open_fd(fd, SFM_READ, &file->info, SF_TRUE);
    if (file->handle == nullptr) {
        ::close(fd);
        return nullptr;
    }
    return fromFile(std::move(file), outputRate);
}

std::unique_ptr<WavDecoding> WavDecoding::openBytes(const void* data, std::size_t size,
                                                    int outputRate) {
    if (data == nullptr || !looksLikeWav(static_cast<const unsigned char*>(data), size))
        return nullptr;
    auto file = std::make_unique<File>();
    file->bytes = {static_cast<const unsigned char*>(data), static_cast<sf_count_t>(size), 0};
    file->handle = sf_open_virtual(&file->io, SFM_READ, &file->info, &file->bytes);
    if (file->handle == nullptr) return nullptr;
    return fromFile(std::move(file), outputRate);
}

std::unique_ptr<WavDecoding> WavDecoding::fromFile(std::unique_ptr<File> file, int outputRate) {
    const SF_INFO& info = file->info;
    if (outputRate <= 0 || !isWavContainer(info.format) || info.channels < 1 ||
        info.samplerate < 1 || info.samplerate > kHighestSourceRate || info.frames < 0 ||
        info.frames > kMostSourceFrames) {
        return nullptr;
    }
    std::unique_ptr<WavDecoding> decoding(new WavDecoding(std::move(file), outputRate));
    if (!decoding->sameRate_ && !decoding->startConverter()) return nullptr;
    return decoding;
}

WavDecoding::WavDecoding(std::unique_ptr<File> file, int outputRate)
    : file_(std::move(file)),
      outputRate_(outputRate),
      sameRate_(file_->info.samplerate == outputRate),
      expectedFrames_(convertedLength(file_->info.frames, file_->info.samplerate, outputRate)),
      scratch_(new float[kScratchSamples]),
      kept_(new float[static_cast<std::size_t>(Sample::kChannels) *
                      std::max(kScratchSamples, kConverterTailFrames)]) {
    tailLeft_ = kConverterTailFrames;
    ended_ = expectedFrames_ <= 0;
}

WavDecoding::~WavDecoding() = default;

bool WavDecoding::startConverter() {
    const int kept = std::min(file_->info.channels, Sample::kChannels);
    return file_->converter.start(kept, file_->info.samplerate, outputRate_);
}

int WavDecoding::read(float* out, int frames) {
    int done = 0;
    while (done < frames && !ended_) {
        const int wanted =
            static_cast<int>(std::min<std::int64_t>(frames - done, expectedFrames_ - produced_));
        float* to = out + static_cast<std::ptrdiff_t>(done) * Sample::kChannels;
        const int got = sameRate_ ? readSameRate(to, wanted) : takeConverted(to, wanted);
        done += got;
        produced_ += got;
        if (produced_ >= expectedFrames_ || (got == 0 && (sameRate_ || !feedConverter())))
            ended_ = true;
    }
    return done;
}

// Reads straight into the output: the file's frames at the output rate,
// made stereo.
int WavDecoding::readSameRate(float* out, int frames) {
    const int channels = file_->info.channels;
    const int asked = std::min(frames, kScratchSamples / channels);
    if (channels == Sample::kChannels) {
        return static_cast<int>(std::max<sf_count_t>(sf_readf_float(file_->handle, out, asked), 0));
    }
    const float* in = scratch_.get();
    const auto got = static_cast<int>(
        std::max<sf_count_t>(sf_readf_float(file_->handle, scratch_.get(), asked), 0));
    const int right = channels > 1 ? 1 : 0;  // mono plays on both sides
    for (std::size_t i = 0; i < static_cast<std::size_t>(got); ++i) {
        out[2 * i] = in[i * channels];
        out[2 * i + 1] = in[i * channels + right];
    }
    return got;
}

int WavDecoding::takeConverted(float* out, int frames) {
    constexpr int kFrameBytes = Sample::kChannels * sizeof(float);
    const int wanted = std::min(file_->converter.available() / kFrameBytes, frames);
    if (wanted <= 0) return 0;
    const int got = file_->converter.get(out, wanted * kFrameBytes);
    return std::max(got, 0) / kFrameBytes;
}

// Gives the converter the next piece of the file, or at its end the tail of
// silence and the flush. False when there is nothing more to give or it fails.
bool WavDecoding::feedConverter() {
    const int channels = file_->info.channels;
    const int kept = std::min(channels, Sample::kChannels);
    // However high the conversion's ratio, one piece converts to a bounded
    // number of frames.
    const auto most = static_cast<int>(std::clamp<std::int64_t>(
        std::int64_t{kMostConvertedFrames} * file_->info.samplerate / outputRate_, 1,
        kScratchSamples / channels));
    int frames = 0;
    if (!sourceDone_) {
        frames = static_cast<int>(
            std::max<sf_count_t>(sf_readf_float(file_->handle, scratch_.get(), most), 0));
        sourceDone_ = frames == 0;
        for (std::size_t i = 0; i < static_cast<std::size_t>(frames); ++i) {
            for (int c = 0; c < kept; ++c) kept_[i * kept + c] = scratch_[i * channels + c];
        }
    }
    if (sourceDone_) {
        if (flushed_) return false;
        frames = std::min(tailLeft_, most);
        tailLeft_ -= frames;
        std::fill_n(kept_.get(), static_cast<std::size_t>(frames) * kept, 0.0f);
    }
    const auto bytes = static_cast<int>(static_cast<std::size_t>(frames) * kept * sizeof(float));
    if (!file_->converter.put(kept_.get(), bytes)) return false;
    if (sourceDone_ && tailLeft_ == 0) {
        flushed_ = true;
        if (!file_->converter.flush()) return false;
    }
    return true;
}

bool WavDecoding::canSeek() const {
    return file_->info.seekable != 0;
}

bool WavDecoding::seek(std::int64_t frame) {
    frame = std::clamp<std::int64_t>(frame, 0, expectedFrames_);
    sourceDone_ = flushed_ = false;
    tailLeft_ = kConverterTailFrames;
    ended_ = false;
    produced_ = sameRate_ ? frame : 0;
    if (sf_seek(file_->handle, sameRate_ ? frame : 0, SEEK_SET) < 0 ||
        (!sameRate_ && !startConverter())) {
        ended_ = true;
        return false;
    }
    // A converter has no way to start in the middle: it runs again from the
    // start and the frames before `frame` are dropped, so that they come out
    // exactly as the first time.
    while (produced_ < frame && !ended_) {
        float dropped[kDiscardFrames * Sample::kChannels];
        read(dropped, static_cast<int>(std::min<std::int64_t>(kDiscardFrames, frame - produced_)));
    }
    ended_ = ended_ || produced_ >= expectedFrames_;
    return produced_ == frame;
}

std::unique_ptr<Sample> decodeWav(const std::string& path, int outputRate, std::size_t maxBytes) {
    auto decoding = WavDecoding::open(path, outputRate);
    if (!decoding) return nullptr;
    const std::int64_t frames = decoding->expectedFrames();
    if (frames > static_cast<std::int64_t>(maxBytes / (Sample::kChannels * sizeof(float))))
        return nullptr;
    auto sample = std::make_unique<Sample>(static_cast<int>(frames));
    const int got = decoding->read(sample->frameForWriting(0), static_cast<int>(frames));
    sample->complete(got);
    return sample;
}

}  // namespace trovik
