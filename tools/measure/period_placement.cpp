// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/measure/period_placement.h"

#include <algorithm>

namespace trovik::placement {

Decision PeriodPlacer::place(std::uint32_t frame, std::uint32_t frames) {
    // The difference as a signed 32-bit number is right across the
    // counter's wrap, and negative when the counter went back.
    const std::int64_t position =
        started_ ? lastPosition_ + static_cast<std::int32_t>(frame - lastFrame_) : 0;
    started_ = true;
    lastFrame_ = frame;
    lastPosition_ = position;
    Decision decision;
    if (heldPosition_) {
        const std::int64_t gap = *heldPosition_ - static_cast<std::int64_t>(end_);
        const std::int64_t back =
            std::clamp<std::int64_t>(*heldPosition_ + heldFrames_ - position, 0, gap);
        decision.held =
            commit(static_cast<std::uint64_t>(gap - back), *heldPosition_ - back, heldFrames_);
        if (back > 0)
            putBack_.push_back({static_cast<std::uint64_t>(*heldPosition_ - back),
                                static_cast<std::uint64_t>(back)});
        heldPosition_.reset();
    }
    if (position > static_cast<std::int64_t>(end_) && !full()) {
        heldPosition_ = position;
        heldFrames_ = frames;
    } else {
        decision.current = commit(0, position, frames);
    }
    return decision;
}

std::optional<Placement> PeriodPlacer::release() {
    if (!heldPosition_) return std::nullopt;
    const auto gap = static_cast<std::uint64_t>(*heldPosition_) - end_;
    const Placement placement = commit(gap, *heldPosition_, heldFrames_);
    heldPosition_.reset();
    return placement;
}

Placement PeriodPlacer::commit(std::uint64_t silence, std::int64_t position, std::uint32_t frames) {
    Placement placement;
    const auto room = [this] { return limit_ - std::min(limit_, end_); };
    placement.silence = std::min(silence, room());
    if (placement.silence > 0) gaps_.push_back({end_, placement.silence});
    end_ += placement.silence;
    const std::int64_t behind = static_cast<std::int64_t>(end_) - position;
    if (behind > 0) {
        placement.skip = static_cast<std::uint32_t>(std::min<std::int64_t>(behind, frames));
        framesBehind_ += placement.skip;
    }
    placement.take =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(frames - placement.skip, room()));
    end_ += placement.take;
    return placement;
}

}  // namespace trovik::placement
