#pragma once

#include <chrono>
#include <cstdint>

#include "sound/sample_player.h"

namespace trovik {

// Turns hits of the step grid into frames of the output stream.
//
// The first hit of a grid fixes an anchor: its frame is the stream clock's
// estimate of "due time + latency". Every later hit of the same grid sounds
// a whole number of periods after it, counted in frames:
// anchor + round(n * period * rate / 1000), so the spacing of the hits is
// exact to the frame whatever the jitter of the ticks or of the estimate.
//
// The sound card's clock and the system clock never run at quite the same
// speed; the difference shows as the grid frame moving away from the
// estimate. Once it is more than kDeadbandFrames off, each hit moves the
// grid by one frame towards the estimate (slewing), never by a jump. A new
// anchor is fixed when the grid changes (a restart or another period), when
// the stream clock starts a new epoch (a dropout, a reopened device), and
// when the estimate is so far off that the stream must have stalled
// unnoticed.
class HitScheduler {
  public:
    static constexpr std::int64_t kUnknown = -1;

    // `deadbandFrames`: how far the grid may stray before slewing starts.
    // `reanchorFrames`: how far it may stray before a new anchor is fixed.
    // `earlyLimitFrames` (at most `reanchorFrames`): how far the grid may
    // run ahead of the estimate; beyond it, hits would be posted for frames
    // already rendered, so a new anchor is fixed sooner.
    HitScheduler(int sampleRate, int deadbandFrames, int reanchorFrames, int earlyLimitFrames);
    HitScheduler(int sampleRate, int deadbandFrames, int reanchorFrames)
        : HitScheduler(sampleRate, deadbandFrames, reanchorFrames, reanchorFrames) {}

    // `estimate`: the stream clock's frame for the hit's due time plus the
    // latency, read now; `epoch`: the stream clock's epoch it belongs to.
    std::int64_t frameOf(const GridHit& hit, std::int64_t estimate, std::uint64_t epoch);

    std::int64_t anchorsFixed() const { return anchorsFixed_; }
    std::int64_t slewFrames() const { return slew_; }

  private:
    bool sameGrid(const GridHit& hit, std::uint64_t epoch) const;
    std::int64_t gridFrame(std::int64_t index) const;

    int sampleRate_;
    int deadbandFrames_;
    int reanchorFrames_;
    int earlyLimitFrames_;

    bool anchored_ = false;
    GridHit::Clock::time_point start_{};
    std::chrono::milliseconds period_{0};
    std::uint64_t epoch_ = 0;
    std::int64_t anchorIndex_ = 0;
    std::int64_t anchorFrame_ = 0;
    std::int64_t slew_ = 0;
    std::int64_t anchorsFixed_ = 0;
};

}  // namespace trovik
