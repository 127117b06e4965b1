// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

namespace trovik {

// The three tracks, in the order a step plays them: when several hit on one
// step, each start cuts the one before, so the effect wins over the snare and
// the snare over the bass.
enum class Track { Bass, Snare, Effect };
constexpr std::array<Track, 3> kTracksInPlayOrder{Track::Bass, Track::Snare, Track::Effect};
constexpr int kTrackCount = 3;
constexpr int kSteps = 16;
constexpr int kFirstCellNumber = 3;  // Command3
constexpr int kLastCellNumber = 50;  // Command50
constexpr int kCellCount = kLastCellNumber - kFirstCellNumber + 1;

constexpr int indexOf(Track track) {
    return static_cast<int>(track);
}

// The Command number of the cell of `track` at `step` (1..16). The bass and
// snare rows run left to right on screen, the effect row right to left.
constexpr int cellNumber(Track track, int step) {
    switch (track) {
        case Track::Bass:
            return step + 2;
        case Track::Snare:
            return 35 - step;
        case Track::Effect:
            return step + 34;
    }
    return 0;
}

// The bass and snare tracks play two fixed files, named as the beat has
// always named them; the sound layer maps them onto the samples it ships.
constexpr const char* kBassSampleName = "c:\\trovik\\bass.wav";
constexpr const char* kSnareSampleName = "c:\\trovik\\snare.wav";

}  // namespace trovik
