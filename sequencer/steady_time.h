// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace trovik {

// The steady clock in nanoseconds: the time the step clock keeps its grid
// on and tells its feedback in.
inline std::int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// How far another clock's microseconds (`readOther`) lie ahead of the steady
// clock's, read between two readings of the steady clock. None when those
// lie more than 20 µs apart: the thread was held up between the reads, and
// the offset would be off by as much. Real-time safe when `readOther` is.
template <typename ReadMicroseconds>
std::optional<std::int64_t> microsecondsAhead(ReadMicroseconds readOther) {
    constexpr std::int64_t kTightNanoseconds = 20'000;
    const std::int64_t before = steadyNanoseconds();
    const std::int64_t other = readOther();
    const std::int64_t after = steadyNanoseconds();
    if (after - before > kTightNanoseconds) return std::nullopt;
    return other - (before + after) / 2000;
}

// Frames and nanoseconds at `rate`, each in two parts: the plain product
// overflows after some 53 hours at 48 kHz.
constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;
constexpr std::int64_t framesIn(std::int64_t nanoseconds, int rate) {
    return nanoseconds / kNanosecondsPerSecond * rate +
           nanoseconds % kNanosecondsPerSecond * rate / kNanosecondsPerSecond;
}
constexpr std::int64_t nanosecondsIn(std::int64_t frames, int rate) {
    return frames / rate * kNanosecondsPerSecond + frames % rate * kNanosecondsPerSecond / rate;
}

}  // namespace trovik
