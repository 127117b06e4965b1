#include "sound/hit_scheduler.h"

namespace trovik {

std::int64_t HitScheduler::frameOf(const GridHit& hit, std::int64_t estimate, std::uint64_t epoch) {
    if (estimate == kUnknown) {
        anchored_ = false;
        return kUnknown;
    }
    if (anchored_ && sameGrid(hit, epoch)) return gridFrame(hit.index);
    anchored_ = true;
    start_ = hit.start;
    period_ = hit.period;
    epoch_ = epoch;
    anchorIndex_ = hit.index;
    anchorFrame_ = estimate;
    ++anchorsFixed_;
    return estimate;
}

bool HitScheduler::sameGrid(const GridHit& hit, std::uint64_t epoch) const {
    return hit.start == start_ && hit.period == period_ && epoch == epoch_ &&
           hit.index >= anchorIndex_;
}

// round(n * period * rate / 1000) in whole numbers, n >= 0.
std::int64_t HitScheduler::gridFrame(std::int64_t index) const {
    const std::int64_t scaled = (index - anchorIndex_) * period_.count() * sampleRate_;
    return anchorFrame_ + (scaled + 500) / 1000;
}

}  // namespace trovik
