// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/measure/period_placement.h"

#include <algorithm>

namespace trovik::placement {

Placement PeriodPlacer::place(std::uint32_t frame, std::uint32_t frames) {
    // The difference as a signed 32-bit number is right across the
    // counter's wrap, and negative when the counter went back.
    const std::int64_t position =
        started_ ? lastPosition_ + static_cast<std::int32_t>(frame - lastFrame_) : 0;
    started_ = true;
    lastFrame_ = frame;
    lastPosition_ = position;
    Placement placement;
    const auto room = [this] { return limit_ - std::min(limit_, end_); };
    const std::int64_t ahead = position - static_cast<std::int64_t>(end_);
    if (ahead > 0) {
        placement.silence = std::min<std::uint64_t>(static_cast<std::uint64_t>(ahead), room());
        if (placement.silence > 0) gaps_.push_back({end_, placement.silence});
        end_ += placement.silence;
    } else if (ahead < 0) {
        placement.skip =
            static_cast<std::uint32_t>(std::min<std::int64_t>(-ahead, std::int64_t{frames}));
        framesBehind_ += placement.skip;
    }
    placement.take =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(frames - placement.skip, room()));
    end_ += placement.take;
    return placement;
}

}  // namespace trovik::placement
