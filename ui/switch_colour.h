// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QRgb>

namespace trovik {

// A track switch shows its state in its text colour: blue sounds, black mutes.
constexpr QRgb kSwitchSounds = qRgb(0, 0, 255);
constexpr QRgb kSwitchMuted = qRgb(0, 0, 0);

inline QRgb switchColour(const QLabel& trackSwitch) {
    return trackSwitch.palette().color(QPalette::WindowText).rgb();
}

inline void setSwitchColour(QLabel& trackSwitch, QRgb colour) {
    QPalette palette = trackSwitch.palette();
    palette.setColor(QPalette::WindowText, QColor::fromRgb(colour));
    trackSwitch.setPalette(palette);
}

}  // namespace trovik
