// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

namespace trovik {

// Where the track panels' parts sit in the window, in pixels from the top
// left of the client area. The artwork draws its squares here and the
// controls are placed here, so a switch or a cell always covers the
// interior of its square.
struct TrackPanelGeometry {
    int panelTop;
    int switchTop;    // the switch label, and the interior of its large square
    int cellTop;      // the step cells, and the interiors of their squares
    int selectorTop;  // the row of four selector buttons
};
constexpr std::array<TrackPanelGeometry, 3> kTrackPanels{{
    {27, 72, 115, 116},    // bass
    {162, 208, 250, 249},  // snare
    {297, 344, 385, 386},  // effect
}};

constexpr int kSwitchLeft = 32;
constexpr int kSwitchSize = 33;
constexpr int kCellSize = 22;

// Column 1..16 of the step cells, counted from the left.
constexpr int cellLeft(int column) {
    return 122 + 29 * (column - 1);
}

}  // namespace trovik
