// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "sequencer/track.h"

namespace trovik {

// What the step clock needs of the beat, as it stood after one handler: a
// plain value, copied whole from the user-interface thread to the thread
// that walks the steps.
struct BeatSnapshot {
    std::uint64_t cellsOn = 0;             // bit n - 3 for Command n
    std::uint32_t soundingTracks = 0b111;  // bit per track
    std::uint32_t periodGeneration = 0;    // moves whenever the step period takes a new value
    std::uint32_t positionGeneration = 0;  // moves whenever the position is set from outside
    std::int16_t position = 1;             // the value it was set to
    std::int16_t interval = 150;           // ms
    bool running = true;

    // The step clock's period in ms: the interval while running; 0 stops it.
    int period() const { return running ? interval : 0; }
    bool sounds(Track track) const { return (soundingTracks >> indexOf(track) & 1u) != 0; }
    bool cellIsOn(Track track, int step) const {
        return (cellsOn >> (cellNumber(track, step) - kFirstCellNumber) & 1u) != 0;
    }
};

}  // namespace trovik
