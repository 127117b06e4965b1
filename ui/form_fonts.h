// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <cmath>

namespace trovik {

// The window was designed around Tahoma and MS Sans Serif at 96 dots per
// inch. Its controls have fixed pixel sizes, so their fonts get fixed pixel
// sizes too: a desktop set to larger text would otherwise push captions out
// of their buttons.
enum class FormFace { Tahoma, MsSansSerif };

inline int pixelsForPoints(double points) {
    return static_cast<int>(std::lround(points * 96.0 / 72.0));
}

QFont formFont(FormFace face, double points, bool bold);

// What controls without a font of their own inherit from the window.
QFont defaultControlFont();

}  // namespace trovik
