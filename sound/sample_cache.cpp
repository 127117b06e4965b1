// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/sample_cache.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <new>

#include "sound/wav_decoder.h"

namespace trovik {
namespace {

std::size_t bytesOf(const Sample* sample) {
    return sample ? sample->bytes() : 0;
}

std::int64_t nanosecondsOf(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

std::int64_t realTimeNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return nanosecondsOf(now);
}

}  // namespace

SampleCache::SampleCache(int outputRate, SampleCacheOptions options)
    : outputRate_(outputRate), options_(std::move(options)) {
    if (!options_.fileClock) options_.fileClock = realTimeNow;
}

SampleCache::~SampleCache() = default;

bool SampleCache::stampOf(const std::string& path, FileStamp& stamp) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    stamp = {info.st_dev, info.st_ino, info.st_size, nanosecondsOf(info.st_mtim),
             nanosecondsOf(info.st_ctim)};
    return true;
}

const Sample* SampleCache::get(const std::string& path) noexcept {
    try {
        return lookUp(path);
    } catch (...) {
        // Out of memory on the way (nothing else here throws): this call
        // plays nothing, and the cache holds only what it held before.
        return nullptr;
    }
}

const Sample* SampleCache::lookUp(const std::string& path) {
    FileStamp stamp;
    if (!stampOf(path, stamp)) {
        forget(path);
        return nullptr;
    }
    const auto found = files_.find(path);
    if (found != files_.end() && found->second.stamp == stamp && found->second.settled) {
        found->second.lastUse = ++uses_;
        return found->second.sample;
    }
    return decodeAndKeep(path, stamp);
}

std::unique_ptr<Sample> newSampleFor(std::int64_t frames, const SampleCacheOptions& options) {
    const auto wholeFrames =
        static_cast<std::int64_t>(options.wholeSampleBytes / (Sample::kChannels * sizeof(float)));
    if (frames <= wholeFrames) return std::make_unique<Sample>(static_cast<int>(frames));
    return Sample::streamed(options.streamHeadFrames, options.streamRingFrames);
}

const Sample* SampleCache::decodeAndKeep(const std::string& path, const FileStamp& stamp) {
    // A status change time ahead of the clock (a file server whose clock
    // is ahead) counts from when this stamp was first seen.
    const std::int64_t now = options_.fileClock();
    const auto found = files_.find(path);
    const std::int64_t firstSeen =
        found != files_.end() && found->second.stamp == stamp ? found->second.firstSeen : now;
    const bool settled =
        now - std::min(stamp.changedNanoseconds, firstSeen) > kTimestampStepNanoseconds;
    std::unique_ptr<WavDecoding> decoding = WavDecoding::open(path, outputRate_);
    std::unique_ptr<Sample> owned =
        decoding ? newSampleFor(decoding->expectedFrames(), options_) : nullptr;
    std::unique_ptr<SampleFiller> filler =
        owned ? std::make_unique<SampleFiller>(std::move(decoding), *owned) : nullptr;
    // Room first, so that running out of memory leaves the cache as it was.
    files_.reserve(files_.size() + 1);
    held_.reserve(held_.size() + 1);
    std::string key = path;

    forget(path);
    const Sample* sample = owned.get();
    if (owned) {
        filler->step(kFirstChunkFrames);
        bytesCached_ += bytesOf(sample);
        Held& held = held_.emplace(sample, Held{std::move(owned), 0, true}).first->second;
        if (!filler->finished()) {
            held.withDecoder = true;
            lend(sample);  // to the background decoder, until it is done writing
            ++decodingsUnderWay_;
            decoder_.fill(std::move(filler));
        }
    }
    files_[std::move(key)] = CachedFile{stamp, sample, ++uses_, settled, firstSeen};
    keepWithinBudget();
    return sample;
}

void SampleCache::collectDecoded() {
    while (const Sample* done = decoder_.takeFinished()) {
        --decodingsUnderWay_;
        const auto found = held_.find(done);
        if (found != held_.end()) found->second.withDecoder = false;
        giveBack(done);
    }
}

void SampleCache::waitForDecodings() {
    decoder_.waitUntilSettled();
    collectDecoded();
}

void SampleCache::forget(const std::string& path) {
    const auto found = files_.find(path);
    if (found == files_.end()) return;
    const Sample* sample = found->second.sample;
    files_.erase(found);
    if (sample == nullptr) return;
    bytesCached_ -= bytesOf(sample);
    held_.at(sample).cached = false;
    release(sample);
}

void SampleCache::lend(const Sample* sample) {
    ++held_.at(sample).lent;
}

void SampleCache::giveBack(const Sample* sample) {
    const auto found = held_.find(sample);
    if (found == held_.end()) return;
    --found->second.lent;
    release(sample);
}

// Lets a sample go that no one needs any more. One still being filled is
// first taken from the decoder, which hands it back when it has let go.
void SampleCache::release(const Sample* sample) {
    const auto found = held_.find(sample);
    if (found == held_.end() || found->second.cached) return;
    if (found->second.lent <= 0) {
        held_.erase(found);
    } else if (found->second.withDecoder && found->second.lent == 1) {
        decoder_.cancel(sample);
    }
}

// Lets the least recently played files go until the cache fits its budget;
// the file just decoded stays even when it alone is larger.
void SampleCache::keepWithinBudget() {
    while (bytesCached_ > options_.budgetBytes && files_.size() > 1) {
        const auto oldest = std::min_element(
            files_.begin(), files_.end(),
            [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; });
        const std::string path = oldest->first;
        forget(path);
    }
}

}  // namespace trovik
