#include "sound/stream_time.h"

#include <cmath>

namespace trovik {
namespace {

std::int64_t nanosecondsOf(StreamTime::Clock::time_point moment) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(moment.time_since_epoch()).count();
}

}  // namespace

StreamTime::Clock::time_point StreamTime::now(Clock::time_point steady) {
    // The epoch first: should it change before the frame is read, the next
    // call sees a new epoch and takes a new offset.
    const std::uint64_t epoch = clock_.epoch();
    const std::int64_t frame = clock_.frameAt(steady);
    const std::int64_t steadyNanoseconds = nanosecondsOf(steady);
    const std::int64_t goingOn =
        told_ ? lastToldNanoseconds_ + steadyNanoseconds - lastSteadyNanoseconds_
              : steadyNanoseconds;
    std::int64_t told = goingOn;
    if (frame == StreamClock::kUnknown) {
        synced_ = false;
    } else {
        if (!synced_ || epoch != epoch_) {
            offsetNanoseconds_ = goingOn - nanosecondsOfFrame(frame);
            epoch_ = epoch;
            synced_ = true;
        }
        told = offsetNanoseconds_ + nanosecondsOfFrame(frame);
    }
    told_ = true;
    lastToldNanoseconds_ = told;
    lastSteadyNanoseconds_ = steadyNanoseconds;
    return Clock::time_point(std::chrono::nanoseconds(told));
}

std::int64_t StreamTime::frameOf(Clock::time_point moment) const {
    if (!synced_) return kUnknown;
    const std::int64_t since = nanosecondsOf(moment) - offsetNanoseconds_;
    return std::llround(static_cast<double>(since) * clock_.sampleRate() / 1e9);
}

// Whole seconds apart, so that a stream of days does not overflow.
std::int64_t StreamTime::nanosecondsOfFrame(std::int64_t frame) const {
    const std::int64_t rate = clock_.sampleRate();
    return frame / rate * 1'000'000'000 + frame % rate * 1'000'000'000 / rate;
}

}  // namespace trovik
