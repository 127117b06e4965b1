#pragma once

class QPainter;

namespace trovik {

// Draws the window's artwork: the white top band, the blue field and the
// three track panels with their headings, switch squares and numbered step
// squares, which the controls are placed onto.
void paintBackground(QPainter& painter);

}  // namespace trovik
