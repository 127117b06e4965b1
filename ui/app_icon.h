// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QImage>
#include <QList>
#include <QRgb>

namespace trovik {

// The sixteen colours every icon image is drawn in, in their usual order
// (black, maroon, green, olive, navy, purple, teal, silver, grey, red, lime,
// yellow, blue, fuchsia, aqua, white).
const QList<QRgb>& standardSixteenColours();

// The application icon at 32 or 16 pixels square: a monitor seen from the
// front, grey bezel, black screen with a green grid crossed by a white sine
// wave. Pixels outside the monitor are fully transparent; all others are
// opaque and one of the sixteen colours.
QImage monitorIconImage(int size);

// The icon file managers show for a beat file, at 32 or 16 pixels: a
// sheet with a folded corner, a name line and a beat in miniature.
QImage beatFileIconImage(int size);

// A square image to draw an icon on, fully transparent.
QImage blankIconImage(int size);

// Both sizes together, for the window and the desktop.
QIcon applicationIcon();

}  // namespace trovik
