#include "sample.h"

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

void Sample::Free::operator()(float* data) const { std::free(data); }

Sample::Sample(int capacityFrames)
    : capacity_(std::max(capacityFrames, 0)),
      data_(allocateFrames(static_cast<std::size_t>(capacity_) * kChannels * sizeof(float), kPrefaultBytes)) {}

std::unique_ptr<Sample> Sample::fromInterleaved(const std::vector<float>& interleaved) {
    const int frames = static_cast<int>(interleaved.size() / kChannels);
    auto sample = std::make_unique<Sample>(frames);
    std::copy_n(interleaved.begin(), static_cast<std::size_t>(frames) * kChannels, sample->frameForWriting(0));
    sample->complete(frames);
    return sample;
}

}  // namespace trovik
