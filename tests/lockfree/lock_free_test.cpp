// SPDX-License-Identifier: GPL-3.0-or-later
// A writer thread and reader threads hammer the two hand-over structures;
// every field of a value carries the same counter, so a value pieced
// together from two writes shows. ThreadSanitizer runs these too
// (scripts/check-thread-sanitized.sh).
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "lockfree/seq_lock.h"
#include "lockfree/triple_buffer.h"

namespace trovik {
namespace {

constexpr std::uint64_t kWrites = 200'000;

// Larger than a cache line, with a field of another size at the end.
struct Stamped {
    std::array<std::uint64_t, 11> words{};
    std::uint16_t tail = 0;

    static Stamped of(std::uint64_t counter) {
        Stamped value;
        value.words.fill(counter);
        value.tail = static_cast<std::uint16_t>(counter);
        return value;
    }
    // The counter it carries, or -1 when its fields disagree.
    std::int64_t counter() const {
        for (std::uint64_t word : words)
            if (word != words[0]) return -1;
        if (tail != static_cast<std::uint16_t>(words[0])) return -1;
        return static_cast<std::int64_t>(words[0]);
    }
};

// Writes every counter up to kWrites while `readers` threads read. Each
// reader reads until the last value written shows up; every value must be
// whole and none older than one read before. A reader says when it has
// begun, so that the writer does not finish before it starts. Before any
// write a read gives the initial value; after the last, the newest, for as
// long as nothing new comes.
template <typename Shared>
void expectWholeNewerValues(int readers) {
    Shared shared(Stamped::of(0));
    EXPECT_EQ(shared.read().counter(), 0);
    std::atomic<int> torn{0}, backwards{0}, started{0};
    std::vector<std::thread> threads;
    for (int r = 0; r < readers; ++r) {
        threads.emplace_back([&] {
            started.fetch_add(1);
            // A writer that never gets its last value through fails the test here.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            for (std::int64_t last = 0; last != static_cast<std::int64_t>(kWrites);) {
                if (std::chrono::steady_clock::now() > deadline) {
                    ADD_FAILURE() << "the last value never showed; " << last << " did";
                    return;
                }
                const std::int64_t now = shared.read().counter();
                if (now < 0) {
                    ++torn;
                    continue;
                }
                if (now < last) ++backwards;
                last = now;
            }
        });
    }
    while (started.load() < readers) std::this_thread::yield();
    for (std::uint64_t i = 1; i <= kWrites; ++i) shared.write(Stamped::of(i));
    for (std::thread& thread : threads) thread.join();
    for (int i = 0; i < 2; ++i) EXPECT_EQ(shared.read().counter(), std::int64_t{kWrites});
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(backwards.load(), 0);
}

TEST(TripleBuffer, AWriterAndAReaderThreadNeverShowATornOrOlderValue) {
    expectWholeNewerValues<TripleBuffer<Stamped>>(1);
}

TEST(SeqLock, AWriterAndTwoReaderThreadsNeverShowATornOrOlderValue) {
    expectWholeNewerValues<SeqLock<Stamped>>(2);
}

}  // namespace
}  // namespace trovik
