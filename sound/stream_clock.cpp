#include "sound/stream_clock.h"

#include <algorithm>

namespace trovik {
namespace {

std::int64_t nanosecondsOf(StreamClock::Clock::time_point moment) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(moment.time_since_epoch()).count();
}

}  // namespace

void StreamClock::onCallback(std::int64_t firstFrame, Clock::time_point now) {
    const auto framesAsNanoseconds =
        static_cast<std::int64_t>(static_cast<double>(firstFrame) * 1e9 / sampleRate_);
    const std::int64_t observed = nanosecondsOf(now) - framesAsNanoseconds;
    const std::int64_t previous = frameZeroNanoseconds_.load(std::memory_order_relaxed);
    std::int64_t estimate =
        previous == kNoEstimate ? observed : std::min(observed, previous + kCreepNanoseconds);
    if (previous != kNoEstimate && observed > previous + kGapNanoseconds) {
        // A gap far longer than any buffer: the stream stood still (the
        // server paused it, or it ran dry). Its frames now sound that much
        // later; follow at once.
        estimate = observed;
        windowEarliest_ = INT64_MAX;
        windowStart_ = nanosecondsOf(now);
        epoch_.fetch_add(1, std::memory_order_acq_rel);
    }

    windowEarliest_ = std::min(windowEarliest_, observed);
    if (windowStart_ == INT64_MIN) windowStart_ = streamStart_ = nanosecondsOf(now);
    // A new stream often stalls while the server wakes its sink; short
    // windows in the first second let the clock follow within a few tenths
    // of a second instead of holding every hit back until the first full
    // window ends.
    const bool starting = nanosecondsOf(now) - streamStart_ < kWindowNanoseconds;
    const std::int64_t window = starting ? kStartWindowNanoseconds : kWindowNanoseconds;
    if (nanosecondsOf(now) - windowStart_ >= window) {
        // A correction, not a new stream: frames planned so far keep their
        // place, and the grid follows by slewing.
        if (windowEarliest_ > estimate + kStallNanoseconds) estimate = windowEarliest_;
        windowEarliest_ = INT64_MAX;
        windowStart_ = nanosecondsOf(now);
    }
    frameZeroNanoseconds_.store(estimate, std::memory_order_release);
}

void StreamClock::reset() {
    frameZeroNanoseconds_.store(kNoEstimate, std::memory_order_release);
    windowEarliest_ = INT64_MAX;
    windowStart_ = INT64_MIN;
    epoch_.fetch_add(1, std::memory_order_acq_rel);
}

std::int64_t StreamClock::frameAt(Clock::time_point moment) const {
    const std::int64_t frameZero = frameZeroNanoseconds_.load(std::memory_order_acquire);
    if (frameZero == kNoEstimate) return kUnknown;
    const std::int64_t sinceFrameZero = nanosecondsOf(moment) - frameZero;
    return static_cast<std::int64_t>(static_cast<double>(sinceFrameZero) * sampleRate_ / 1e9);
}

}  // namespace trovik
