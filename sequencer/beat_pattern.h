#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QRgb>
#include <array>

namespace trovik {

enum class Track { Bass, Snare, Effect };
constexpr std::array<Track, 3> kTracksInPlayOrder{Track::Bass, Track::Snare, Track::Effect};
constexpr int kSteps = 16;
constexpr int kFirstCellNumber = 3;  // Command3
constexpr int kLastCellNumber = 50;  // Command50
constexpr int kCellCount = kLastCellNumber - kFirstCellNumber + 1;

// Captions of a step cell and colours of a track switch. Anything else is
// left alone by a click; a caption other than "" still counts as on, and a
// colour other than exact blue mutes.
inline const QString kCellOn = QStringLiteral("O");
inline const QString kCellOff = QString();
constexpr QRgb kSwitchSounds = qRgb(0, 0, 255);
constexpr QRgb kSwitchMuted = qRgb(0, 0, 0);

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

// The 48 step cells and the three track switches. The beat lives in the
// controls themselves: captions of the cells, text colours of the switches.
class BeatPattern {
  public:
    // `cells` in Command number order, Command3 first; `switches` bass, snare, effect.
    BeatPattern(std::array<QAbstractButton*, kCellCount> cells, std::array<QLabel*, 3> switches);

    QAbstractButton& cellByNumber(int commandNumber) const;
    QAbstractButton& cell(Track track, int step) const {
        return cellByNumber(cellNumber(track, step));
    }
    QLabel& trackSwitch(Track track) const { return *switches_[static_cast<int>(track)]; }

    bool sounds(Track track) const;
    bool cellIsOn(Track track, int step) const { return !cell(track, step).text().isEmpty(); }

  private:
    std::array<QAbstractButton*, kCellCount> cells_;
    std::array<QLabel*, 3> switches_;
};

QRgb switchColour(const QLabel& trackSwitch);
void setSwitchColour(QLabel& trackSwitch, QRgb colour);

// Click handlers shared by the whole family of cells and of switches.
void StepCell_Click(QAbstractButton& cell);
void TrackSwitch_Click(QLabel& trackSwitch);

}  // namespace trovik
