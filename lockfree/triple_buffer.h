// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace trovik {

// Hands the newest value of T from one writer thread to one reader thread.
// Neither side ever waits, locks or allocates: the writer fills a slot of
// its own and swaps it with the middle one; the reader swaps the middle one
// with its own when the writer has put a newer value there. The reader
// always sees a whole value, never half of one.
template <typename T>
class TripleBuffer {
  public:
    explicit TripleBuffer(const T& initial = T()) { slots_.fill(initial); }

    // Writer side.
    void write(const T& value) {
        slots_[writing_] = value;
        writing_ = middle_.exchange(writing_ | kFresh, std::memory_order_acq_rel) & kIndex;
    }

    // Reader side: the newest value written, or the one read before when
    // nothing was written since.
    const T& read() {
        if ((middle_.load(std::memory_order_relaxed) & kFresh) != 0) {
            reading_ = middle_.exchange(reading_, std::memory_order_acq_rel) & kIndex;
        }
        return slots_[reading_];
    }

  private:
    static constexpr std::uint8_t kIndex = 3;
    static constexpr std::uint8_t kFresh = 4;

    std::array<T, 3> slots_;
    std::uint8_t writing_ = 0;  // writer only
    alignas(64) std::atomic<std::uint8_t> middle_{1};
    alignas(64) std::uint8_t reading_ = 2;  // reader only
};

}  // namespace trovik
