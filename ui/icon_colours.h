// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRgb>

namespace trovik::icon_colours {

// The colours of the sixteen that the icons are drawn in.
constexpr QRgb kBlack = 0xff000000;
constexpr QRgb kGreen = 0xff008000;
constexpr QRgb kSilver = 0xffc0c0c0;
constexpr QRgb kGrey = 0xff808080;
constexpr QRgb kRed = 0xffff0000;
constexpr QRgb kBlue = 0xff0000ff;
constexpr QRgb kWhite = 0xffffffff;

}  // namespace trovik::icon_colours
