#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace trovik {

// Relates the steady clock to frames of the output stream, so that a moment
// can be turned into the frame that sounds at it.
//
// The audio thread reports, at every callback, the time and the first frame
// it is about to render. Callbacks can only be late, never early, so the
// earliest "time of frame 0" seen is the best estimate. It creeps later very
// slowly, to follow a sound card whose clock runs a little slow, and jumps
// when a whole window of callbacks came later than it (the stream stalled
// briefly) or when one callback comes 50 ms late (the stream stood still).
// A stream that stood still, and every restart of the stream, starts a new
// epoch: frames planned against an older epoch no longer line up with the
// clock.
class StreamClock {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::int64_t kUnknown = -1;

    explicit StreamClock(int sampleRate = 0) : sampleRate_(sampleRate) {}

    // Before the audio thread starts.
    void setSampleRate(int sampleRate) { sampleRate_ = sampleRate; }

    // While no audio thread runs (the device is closed): forgets the
    // estimate; the stream starts anew at its next callback.
    void reset();

    // Audio thread. Never blocks.
    void onCallback(std::int64_t firstFrame, Clock::time_point now);

    // Any thread: the frame that sounds at `moment`, or kUnknown before the
    // first callback.
    std::int64_t frameAt(Clock::time_point moment) const;

    int sampleRate() const { return sampleRate_; }

    // Any thread: counts the jumps and restarts of the estimate.
    std::uint64_t epoch() const { return epoch_.load(std::memory_order_acquire); }

  private:
    static constexpr std::int64_t kNoEstimate = INT64_MIN;
    // How far the estimate may move later per callback: 20 ns at 256 frames
    // is about 3.5 ppm of drift, more than a sound card is off by.
    static constexpr std::int64_t kCreepNanoseconds = 20;
    static constexpr std::int64_t kWindowNanoseconds = 1'000'000'000;
    static constexpr std::int64_t kStartWindowNanoseconds = 100'000'000;
    static constexpr std::int64_t kStallNanoseconds = 2'000'000;
    static constexpr std::int64_t kGapNanoseconds = 50'000'000;

    int sampleRate_;
    std::atomic<std::int64_t> frameZeroNanoseconds_{kNoEstimate};
    std::atomic<std::uint64_t> epoch_{0};
    // Audio thread only.
    std::int64_t windowEarliest_ = INT64_MAX;
    std::int64_t windowStart_ = INT64_MIN;
    std::int64_t streamStart_ = 0;
};

}  // namespace trovik
