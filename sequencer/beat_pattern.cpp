#include "sequencer/beat_pattern.h"

namespace trovik {

BeatPattern::BeatPattern(std::array<QAbstractButton*, kCellCount> cells,
                         std::array<QLabel*, 3> switches)
    : cells_(cells), switches_(switches) {}

QAbstractButton& BeatPattern::cellByNumber(int commandNumber) const {
    return *cells_.at(static_cast<std::size_t>(commandNumber - kFirstCellNumber));
}

bool BeatPattern::sounds(Track track) const {
    return switchColour(trackSwitch(track)) == kSwitchSounds;
}

QRgb switchColour(const QLabel& trackSwitch) {
    return trackSwitch.palette().color(QPalette::WindowText).rgb();
}

void setSwitchColour(QLabel& trackSwitch, QRgb colour) {
    QPalette palette = trackSwitch.palette();
    palette.setColor(QPalette::WindowText, QColor::fromRgb(colour));
    trackSwitch.setPalette(palette);
}

void StepCell_Click(QAbstractButton& cell) {
    if (cell.text() == kCellOff) {
        cell.setText(kCellOn);
    } else if (cell.text() == kCellOn) {
        cell.setText(kCellOff);
    }
}

void TrackSwitch_Click(QLabel& trackSwitch) {
    if (switchColour(trackSwitch) == kSwitchMuted) {
        setSwitchColour(trackSwitch, kSwitchSounds);
    } else if (switchColour(trackSwitch) == kSwitchSounds) {
        setSwitchColour(trackSwitch, kSwitchMuted);
    }
}

}  // namespace trovik
