// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <optional>

namespace trovik {

// Bounded single-producer single-consumer ring buffer. Neither side ever
// blocks or allocates, so the audio thread may use it.
template <typename T, std::size_t Capacity>
class SpscQueue {
    static_assert((Capacity & (Capacity - 1)) == 0, "capacity must be a power of two");

  public:
    static constexpr std::size_t kCapacity = Capacity;

    // Producer side. Returns false when the queue is full: the item is not in it.
    [[nodiscard]] bool push(const T& item) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == Capacity) return false;
        slots_[tail & (Capacity - 1)] = item;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Consumer side.
    const T* peek() const {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) return nullptr;
        return &slots_[head & (Capacity - 1)];
    }

    void dropFront() {
        head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }

    std::optional<T> pop() {
        const T* front = peek();
        if (front == nullptr) return std::nullopt;
        T item = *front;
        dropFront();
        return item;
    }

  private:
    std::array<T, Capacity> slots_{};
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
};

}  // namespace trovik
