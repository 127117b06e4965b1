#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "background_decoder.h"
#include "sample.h"

namespace trovik {

// Decoded samples by file, so that a hit on a file played before costs a
// stat() instead of a decode. A file is decoded again as soon as it changes
// on disk (another inode, size or modification time), so every call still
// plays what the file holds at that moment.
//
// Only the first chunk of a new file is decoded at once (a drum sample is
// usually all in it); the rest follows on a background thread while the
// sound already plays.
//
// Samples lent to the audio thread stay alive until they are given back,
// even when the file changed or the cache let them go meanwhile.
class SampleCache {
public:
    static constexpr std::size_t kDefaultBudgetBytes = 64u << 20;
    static constexpr int kFirstChunkFrames = 8192;

    explicit SampleCache(int outputRate, std::size_t budgetBytes = kDefaultBudgetBytes);
    ~SampleCache();
    SampleCache(const SampleCache&) = delete;
    SampleCache& operator=(const SampleCache&) = delete;

    // The decoded sound of `path` as the file is now; nullptr when it is
    // missing or no playable WAV.
    const Sample* get(const std::string& path);

    void lend(const Sample* sample);
    void giveBack(const Sample* sample);

    // Takes back the samples whose background decoding has ended.
    void collectDecoded();
    int decodingsUnderWay() const { return decodingsUnderWay_; }

    std::size_t samplesHeld() const { return held_.size(); }
    std::size_t bytesCached() const { return bytesCached_; }

private:
    struct FileStamp {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        std::int64_t modifiedNanoseconds = 0;
        bool operator==(const FileStamp&) const = default;
    };
    struct CachedFile {
        FileStamp stamp;
        const Sample* sample = nullptr;  // nullptr: the file is no playable WAV
        std::uint64_t lastUse = 0;
    };
    struct Held {
        std::unique_ptr<Sample> sample;
        int lent = 0;
        bool cached = true;
    };

    static bool stampOf(const std::string& path, FileStamp& stamp);
    const Sample* decodeAndKeep(const std::string& path, const FileStamp& stamp);
    void forget(const std::string& path);
    void release(const Sample* sample);
    void keepWithinBudget();

    int outputRate_;
    std::size_t budgetBytes_;
    std::size_t bytesCached_ = 0;
    std::uint64_t uses_ = 0;
    int decodingsUnderWay_ = 0;
    std::unordered_map<std::string, CachedFile> files_;
    std::unordered_map<const Sample*, Held> held_;
    BackgroundDecoder decoder_;  // last: it stops before the samples it writes go
};

}  // namespace trovik
