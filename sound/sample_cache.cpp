#include "sample_cache.h"

#include <sys/stat.h>

#include <algorithm>

#include "wav_decoder.h"

namespace trovik {
namespace {

std::size_t bytesOf(const Sample* sample) { return sample ? sample->bytes() : 0; }

}  // namespace

SampleCache::SampleCache(int outputRate, std::size_t budgetBytes)
    : outputRate_(outputRate), budgetBytes_(budgetBytes) {}

SampleCache::~SampleCache() = default;

bool SampleCache::stampOf(const std::string& path, FileStamp& stamp) {
    struct stat info{};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    stamp = {info.st_dev, info.st_ino, info.st_size,
             static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
    return true;
}

const Sample* SampleCache::get(const std::string& path) {
    FileStamp stamp;
    if (!stampOf(path, stamp)) {
        forget(path);
        return nullptr;
    }
    const auto found = files_.find(path);
    if (found != files_.end() && found->second.stamp == stamp) {
        found->second.lastUse = ++uses_;
        return found->second.sample;
    }
    forget(path);
    return decodeAndKeep(path, stamp);
}

const Sample* SampleCache::decodeAndKeep(const std::string& path, const FileStamp& stamp) {
    std::optional<WavDecoding::Opened> opened = WavDecoding::open(path, outputRate_);
    const Sample* sample = nullptr;
    if (opened) {
        sample = opened->sample.get();
        const bool complete = opened->decoding->decodeMore(kFirstChunkFrames);
        bytesCached_ += bytesOf(sample);
        held_.emplace(sample, Held{std::move(opened->sample), 0, true});
        if (!complete) {
            lend(sample);  // to the background decoder, until it is done writing
            ++decodingsUnderWay_;
            decoder_.finish(std::move(opened->decoding));
        }
    }
    files_[path] = CachedFile{stamp, sample, ++uses_};
    keepWithinBudget();
    return sample;
}

void SampleCache::collectDecoded() {
    while (const Sample* done = decoder_.takeFinished()) {
        --decodingsUnderWay_;
        giveBack(done);
    }
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

void SampleCache::lend(const Sample* sample) { ++held_.at(sample).lent; }

void SampleCache::giveBack(const Sample* sample) {
    const auto found = held_.find(sample);
    if (found == held_.end()) return;
    --found->second.lent;
    release(sample);
}

void SampleCache::release(const Sample* sample) {
    const auto found = held_.find(sample);
    if (found != held_.end() && !found->second.cached && found->second.lent <= 0) held_.erase(found);
}

// Lets the least recently played files go until the cache fits its budget;
// the file just decoded stays even when it alone is larger.
void SampleCache::keepWithinBudget() {
    while (bytesCached_ > budgetBytes_ && files_.size() > 1) {
        const auto oldest = std::min_element(files_.begin(), files_.end(), [](const auto& a, const auto& b) {
            return a.second.lastUse < b.second.lastUse;
        });
        const std::string path = oldest->first;
        forget(path);
    }
}

}  // namespace trovik
