#pragma once

#include <chrono>
#include <cstdint>

#include "sound/sample_player.h"

namespace trovik {

// Turns hits of the step grid into frames of the output stream.
//
// The first hit of a grid fixes an anchor: its frame is the estimate of
// "due time + latency" it is given. Every later hit of the same grid sounds
// a whole number of periods after it, counted in frames:
// anchor + round(n * period * rate / 1000), so the spacing of the hits is
// exact to the frame whatever the jitter of the ticks or of the estimate.
//
// The grid's ticks run on the stream's own time, so the estimate keeps
// pace with the grid and the grid never needs to follow it. A new anchor is
// fixed when the grid changes (a restart or another period) and when the
// stream's time starts a new epoch (a stall, a reopened device).
class HitScheduler {
  public:
    static constexpr std::int64_t kUnknown = -1;

    explicit HitScheduler(int sampleRate) : sampleRate_(sampleRate) {}

    // `estimate`: the stream's frame for the hit's due time plus the
    // latency, or kUnknown while there is no stream; `epoch`: the epoch of
    // the stream's time it belongs to.
    std::int64_t frameOf(const GridHit& hit, std::int64_t estimate, std::uint64_t epoch);

    std::int64_t anchorsFixed() const { return anchorsFixed_; }

  private:
    bool sameGrid(const GridHit& hit, std::uint64_t epoch) const;
    std::int64_t gridFrame(std::int64_t index) const;

    int sampleRate_;

    bool anchored_ = false;
    GridHit::Clock::time_point start_{};
    std::chrono::milliseconds period_{0};
    std::uint64_t epoch_ = 0;
    std::int64_t anchorIndex_ = 0;
    std::int64_t anchorFrame_ = 0;
    std::int64_t anchorsFixed_ = 0;
};

}  // namespace trovik
