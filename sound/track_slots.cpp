// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/track_slots.h"

namespace trovik {

const Sample& TrackSlots::silence() {
    static const auto empty = Sample::fromInterleaved({});
    return *empty;
}

}  // namespace trovik
