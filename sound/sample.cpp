// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/sample.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace trovik {
namespace {

// Fresh memory costs a page fault per 4 KiB page when first written, and on
// a virtual machine those faults cost more than the decoding. The start of
// the sound, which is decoded at once, is faulted in by one call instead.
float* allocateFrames(std::size_t bytes, std::size_t prefaultBytes) {
    void* data = std::malloc(std::max<std::size_t>(bytes, 1));
    if (data == nullptr) throw std::bad_alloc();
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto address = reinterpret_cast<std::uintptr_t>(data);
    const auto begin = (address + page - 1) / page * page;
    const auto end = (address + std::min(bytes, prefaultBytes)) / page * page;
    if (end > begin) {
        madvise(static_cast<char*>(data) + (begin - address), end - begin, MADV_POPULATE_WRITE);
    }
    return static_cast<float*>(data);
}

}  // namespace

void Sample::Free::operator()(float* data) const {
    std::free(data);
}

Sample::Sample(int capacityFrames, int ringFrames)
    : capacity_(std::max(capacityFrames, 0)),
      ringFrames_(std::max(ringFrames, 0)),
      data_(allocateFrames(bytes(), kPrefaultBytes)),
      ringEnd_(capacity_) {}

std::unique_ptr<Sample> Sample::streamed(int headFrames, int ringFrames) {
    return std::unique_ptr<Sample>(new Sample(headFrames, std::max(ringFrames, 1)));
}

std::unique_ptr<Sample> Sample::fromInterleaved(const std::vector<float>& interleaved) {
    const int frames = static_cast<int>(interleaved.size() / kChannels);
    auto sample = std::make_unique<Sample>(frames);
    std::copy_n(interleaved.begin(), static_cast<std::size_t>(frames) * kChannels,
                sample->frameForWriting(0));
    sample->complete(frames);
    return sample;
}

Sample::Read Sample::read(std::int64_t position, float* out, int frames) const noexcept {
    const bool complete = isComplete();  // before the count: see above
    const int ready = framesReady();
    int copied = 0;
    if (position < ready) {
        copied = static_cast<int>(std::min<std::int64_t>(frames, ready - position));
        std::copy_n(frame(static_cast<int>(position)), static_cast<std::size_t>(copied) * kChannels,
                    out);
    }
    if (complete) return {copied, position + copied >= ready};
    if (!isStreamed()) return {copied, false};
    if (copied < frames && position + copied >= capacity_) {
        copied += readRing(position + copied, out + static_cast<std::ptrdiff_t>(copied) * kChannels,
                           frames - copied);
    }
    // Frames before this one are played: the decoder may now write over them.
    played_.store(position + copied, std::memory_order_release);
    return {copied, position + copied >= streamEnd()};
}

int Sample::readRing(std::int64_t position, float* out, int frames) const noexcept {
    const std::int64_t end = ringEnd_.load(std::memory_order_acquire);
    if (position < std::max<std::int64_t>(capacity_, end - ringFrames_) || position >= end)
        return 0;
    const int count = static_cast<int>(std::min<std::int64_t>(frames, end - position));
    const float* ring = data_.get() + static_cast<std::size_t>(capacity_) * kChannels;
    const int slot = static_cast<int>(position % ringFrames_);
    const int first = std::min(count, ringFrames_ - slot);
    std::copy_n(ring + static_cast<std::size_t>(slot) * kChannels,
                static_cast<std::size_t>(first) * kChannels, out);
    std::copy_n(ring, static_cast<std::size_t>(count - first) * kChannels,
                out + static_cast<std::size_t>(first) * kChannels);
    return count;
}

std::int64_t Sample::streamLimit() const {
    return std::max<std::int64_t>(playPosition(), capacity_) + ringFrames_;
}

float* Sample::ringFrameForWriting(std::int64_t frame) {
    float* ring = data_.get() + static_cast<std::size_t>(capacity_) * kChannels;
    return ring + static_cast<std::size_t>(frame % ringFrames_) * kChannels;
}

}  // namespace trovik
