#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace trovik {

// Which hit of the step grid a call belongs to: the grid started at
// `start`, its ticks fall every `period`, and this is tick number `index`
// (the first tick after the start is 1). Hits of one grid are placed a
// whole number of periods apart on the output stream, however late each
// tick itself ran.
struct GridHit {
    using Clock = std::chrono::steady_clock;

    Clock::time_point start;
    std::chrono::milliseconds period{0};
    std::int64_t index = 0;

    Clock::time_point due() const { return start + index * period; }
};

// The one way the program makes a sound. PlaySample stops whatever sound is
// playing, starts the named WAV file and returns at once; it never reports
// failure, because a hit that cannot sound must not disturb the beat.
class SamplePlayer {
  public:
    virtual ~SamplePlayer() = default;

    // Sounds now.
    virtual void PlaySample(const std::string& path) = 0;

    // Sounds at the moment the step grid's tick `hit` was due, plus the
    // player's fixed latency.
    virtual void PlaySampleAt(const std::string& path, const GridHit& hit) = 0;
};

}  // namespace trovik
