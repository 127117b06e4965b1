// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/measure/period_placement.h"

#include <algorithm>

namespace trovik::placement {

std::vector<Placement> PeriodPlacer::place(std::uint32_t frame, std::uint32_t frames) {
    // The difference as a signed 32-bit number is right across the
    // counter's wrap, and negative when the counter went back.
    const std::int64_t position =
        started_ ? lastPosition_ + static_cast<std::int32_t>(frame - lastFrame_) : 0;
    started_ = true;
    lastFrame_ = frame;
    lastPosition_ = position;
    std::vector<Placement> placements;
    if (!held_.empty()) {
        const std::int64_t gap = held_.front().position - static_cast<std::int64_t>(end_);
        std::int64_t heldEnd = held_.back().position + held_.back().frames;
        const std::int64_t back = std::clamp<std::int64_t>(heldEnd - position, 0, gap);
        if (back > 0) {
            for (Held& held : held_) held.position -= back;
            heldEnd -= back;
            putBack_.push_back({static_cast<std::uint64_t>(held_.front().position),
                                static_cast<std::uint64_t>(back)});
        }
        if (position == heldEnd) {
            held_.push_back({position, frames});
            if (held_.size() >= window_) releaseInto(placements);
            return placements;
        }
        releaseInto(placements);
    }
    if (position > static_cast<std::int64_t>(end_) && !full())
        held_.push_back({position, frames});
    else
        placements.push_back(commit(position, frames));
    return placements;
}

std::vector<Placement> PeriodPlacer::release() {
    std::vector<Placement> placements;
    releaseInto(placements);
    return placements;
}

void PeriodPlacer::releaseInto(std::vector<Placement>& placements) {
    for (const Held& held : held_) placements.push_back(commit(held.position, held.frames));
    held_.clear();
}

Placement PeriodPlacer::commit(std::int64_t position, std::uint32_t frames) {
    Placement placement;
    const auto room = [this] { return limit_ - std::min(limit_, end_); };
    const std::int64_t ahead = position - static_cast<std::int64_t>(end_);
    if (ahead > 0) {
        placement.silence = std::min(static_cast<std::uint64_t>(ahead), room());
        if (placement.silence > 0) gaps_.push_back({end_, placement.silence});
        end_ += placement.silence;
    } else if (ahead < 0) {
        placement.skip = static_cast<std::uint32_t>(std::min<std::int64_t>(-ahead, frames));
        framesBehind_ += placement.skip;
    }
    placement.take =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(frames - placement.skip, room()));
    end_ += placement.take;
    return placement;
}

}  // namespace trovik::placement
