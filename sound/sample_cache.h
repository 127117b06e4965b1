// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "sound/background_decoder.h"
#include "sound/sample.h"

namespace trovik {

struct SampleCacheOptions {
    // All the decoded sound kept for files played before.
    std::size_t budgetBytes = 64u << 20;
    // A file whose decoded sound is larger is streamed from disk.
    std::size_t wholeSampleBytes = 16u << 20;
    // A streamed sound keeps about its first five seconds in memory...
    int streamHeadFrames = 1 << 18;
    // ...and reads the rest through a ring of about two and a half seconds.
    int streamRingFrames = 1 << 17;
    // The file system's clock, in nanoseconds since the epoch.
    std::function<std::int64_t()> fileClock;
};

// Room for a sound of `frames` frames: held whole when it is small enough,
// otherwise streamed through a head and a ring of the sizes `options` give.
std::unique_ptr<Sample> newSampleFor(std::int64_t frames, const SampleCacheOptions& options);

// Decoded samples by file, so that a hit on a file played before costs a
// stat() instead of a decode. A file is decoded again as soon as it changes
// on disk, so every call still plays what the file holds at that moment:
// another inode, size, modification or status change time. Any write moves
// the status change time, which no one can set back; only a change within
// the file system's timestamp step of the last look could go unseen, so a
// file changed that recently is decoded again at every call. A status
// change time ahead of the clock counts from when the cache first saw it.
//
// Only the first chunk of a new file is decoded at once (a drum sample is
// usually all in it); the rest follows on a background thread while the
// sound already plays. A file too large to hold is streamed: its head stays
// here, the rest is read ahead of the play position on the same thread.
//
// Samples lent to the audio thread stay alive until they are given back,
// even when the file changed or the cache let them go meanwhile.
class SampleCache {
  public:
    static constexpr int kFirstChunkFrames = 8192;
    // Wider than any file system's timestamp step.
    static constexpr std::int64_t kTimestampStepNanoseconds = 2'000'000'000;

    explicit SampleCache(int outputRate, SampleCacheOptions options = {});
    ~SampleCache();
    SampleCache(const SampleCache&) = delete;
    SampleCache& operator=(const SampleCache&) = delete;

    // The decoded sound of `path` as the file is now; nullptr when it is
    // missing, no playable WAV, or there is no memory for it. Never throws.
    const Sample* get(const std::string& path) noexcept;

    void lend(const Sample* sample);
    void giveBack(const Sample* sample);

    // Takes back the samples the background decoder is done with.
    void collectDecoded();
    int decodingsUnderWay() const { return decodingsUnderWay_; }
    // Waits until the in-memory part of every sample is decoded, then
    // collects what is done.
    void waitForDecodings();

    std::size_t samplesHeld() const { return held_.size(); }
    std::size_t bytesCached() const { return bytesCached_; }

  private:
    struct FileStamp {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        std::int64_t modifiedNanoseconds = 0;
        std::int64_t changedNanoseconds = 0;
        bool operator==(const FileStamp&) const = default;
    };
    struct CachedFile {
        FileStamp stamp;
        const Sample* sample = nullptr;  // nullptr: the file is no playable WAV
        std::uint64_t lastUse = 0;
        bool settled = false;  // looked at after its last change had surely got its own timestamp
        std::int64_t firstSeen = 0;  // by the file clock, with this stamp
    };
    struct Held {
        std::unique_ptr<Sample> sample;
        int lent = 0;
        bool cached = true;
        bool withDecoder = false;
    };

    static bool stampOf(const std::string& path, FileStamp& stamp);
    const Sample* lookUp(const std::string& path);
    const Sample* decodeAndKeep(const std::string& path, const FileStamp& stamp);
    void forget(const std::string& path);
    void release(const Sample* sample);
    void keepWithinBudget();

    int outputRate_;
    SampleCacheOptions options_;
    std::size_t bytesCached_ = 0;
    std::uint64_t uses_ = 0;
    int decodingsUnderWay_ = 0;
    std::unordered_map<std::string, CachedFile> files_;
    std::unordered_map<const Sample*, Held> held_;
    BackgroundDecoder decoder_;  // last: it stops before the samples it writes go
};

}  // namespace trovik
