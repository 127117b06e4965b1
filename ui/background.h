// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QSize>

class QPainter;

namespace trovik {

// The window's artwork at its natural size. It is a little larger than the
// window, whose client area shows all but its last two columns and last row.
inline constexpr QSize kBackgroundSize{608, 430};

// Paints the artwork with its top-left corner at the painter's origin: the
// white top band, the blue field and the three track panels with their
// headings, switch squares and numbered step squares, which the controls are
// placed onto.
void paintBackground(QPainter& painter);

// The artwork drawn once for a screen of the given device pixel ratio, so it
// stays sharp where a fixed bitmap would be scaled up.
QPixmap renderBackground(qreal devicePixelRatio);

}  // namespace trovik
