#pragma once

#include <cstdint>

#include "sound/stream_clock.h"

namespace trovik {

// The output stream's time: the frame the stream plays at a moment of the
// steady clock, told as a time point (frames / rate, plus a fixed offset so
// that it reads like a steady time point). It runs at the sound card's speed,
// not the system clock's, so a timer that runs on it ticks in step with the
// frames, and a moment of it turns back into a frame exactly.
//
// While there is no stream (no device, before the first callback) the time
// goes on at the steady clock's speed from where it was last told. When the
// stream clock starts a new epoch (a stall, a reopened device), a new offset
// makes the time go on from where it was, without a jump. When the stream
// clock's estimate moves later within an epoch (a correction), the time
// steps back by as much: timers on it simply wait.
//
// User-interface thread only.
class StreamTime {
  public:
    using Clock = StreamClock::Clock;
    static constexpr std::int64_t kUnknown = StreamClock::kUnknown;

    explicit StreamTime(const StreamClock& clock) : clock_(clock) {}

    // The stream's time at the steady moment `steady`.
    Clock::time_point now(Clock::time_point steady);

    // The frame that plays at stream time `moment`, on the offset the last
    // now() followed; kUnknown when there was no stream then.
    std::int64_t frameOf(Clock::time_point moment) const;

    // The stream clock's epoch the last now() followed.
    std::uint64_t epoch() const { return epoch_; }

  private:
    std::int64_t nanosecondsOfFrame(std::int64_t frame) const;

    const StreamClock& clock_;
    bool synced_ = false;
    bool told_ = false;
    std::uint64_t epoch_ = 0;
    std::int64_t offsetNanoseconds_ = 0;  // the time of frame 0
    std::int64_t lastToldNanoseconds_ = 0;
    std::int64_t lastSteadyNanoseconds_ = 0;
};

}  // namespace trovik
