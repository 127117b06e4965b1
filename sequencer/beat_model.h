// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <chrono>
#include <optional>
#include <string>

#include "sequencer/sequencer_link.h"
#include "sequencer/track.h"

namespace trovik {

// Captions of a step cell. A click writes only these two; any other caption
// (a loaded beat file may hold one) counts as on and is left alone by a click.
inline const QString kCellOn = QStringLiteral("O");
inline const QString kCellOff = QString();

// The beat as the user edits it: the 48 cells, the three track switches,
// the running flag, the step interval and the step position, with the rules
// of the cells, the switches, Play, Stop and Load. It lives on the
// user-interface thread; the window shows it and the beat file commands
// read and write it.
//
// After every change it hands the step clock a snapshot, so a step sees the
// beat as it stood between two handlers, never half of one. The position
// is the step clock's own: it moves it, and the model reads it back.
class BeatModel : public QObject {
    Q_OBJECT

  public:
    static constexpr int kInitialInterval = 150;
    static constexpr int kMaxInterval = 999;

    explicit BeatModel(SequencerLink& link, QObject* parent = nullptr);

    // The cells, by Command number (3..50).
    const QString& caption(int commandNumber) const;
    bool cellIsOn(Track track, int step) const {
        return !caption(cellNumber(track, step)).isEmpty();
    }
    bool sounds(Track track) const { return sounding_[static_cast<std::size_t>(indexOf(track))]; }

    bool running() const { return running_; }
    int interval() const { return interval_; }
    // The step clock's period: the interval while running, 0 while stopped.
    int period() const { return running_ ? interval_ : 0; }
    // The step the next tick plays.
    int position() const;

    // Every cell toggles alike: "" becomes "O", "O" becomes "", anything else stays.
    void StepCell_Click(int commandNumber);
    // Every switch toggles alike between sounding and muted.
    void TrackSwitch_Click(Track track);
    void Command1_Click();  // Play: running, from the position it stands at
    void Command2_Click();  // Stop: halted and back to step 1
    // The tempo control; clamped to 0..999. A new value restarts the countdown.
    void setInterval(int milliseconds);

    // Load: back to step 1, then (for a beat read whole) the interval and all
    // 48 captions, in Command number order. The step clock sees them at once.
    void rewind();
    void load(int interval, const std::array<QString, kCellCount>& captions);

    // Reads back the position the step clock tells; emits positionChanged
    // when it moved since the last look.
    void followPosition();
    // About when the step clock moves the position next, from now: at once
    // while it has not walked yet (look again soon); none while it stands
    // still (Stop, interval 0).
    std::optional<std::chrono::nanoseconds> untilNextStep() const;

    // The effect track's sample, as the user picked it; the one place that
    // keeps it. Every change is told through effectPathChanged.
    const QString& effectPath() const { return effectPath_; }
    void setEffectPath(const QString& path);

  signals:
    void cellChanged(int commandNumber);
    void switchChanged(Track track);
    // The running flag or the interval changed.
    void transportChanged();
    void positionChanged(int position);
    void effectPathChanged(const QString& path);

  private:
    void setCaption(int commandNumber, const QString& text);
    void setPosition(int position);
    void setTransport(bool running, int interval);
    void publish();

    SequencerLink& link_;
    std::array<QString, kCellCount> captions_;
    std::array<bool, kTrackCount> sounding_{true, true, true};
    bool running_ = true;
    int interval_ = kInitialInterval;
    BeatSnapshot published_;
    int positionShown_ = 1;
    QString effectPath_;
};

// The bar and tempo displays: "Bar- 7", "Tempo: 850" (1000 minus the interval).
QString barText(int position);
QString tempoText(int interval);

// The bytes the file system knows a file by, whatever its name holds.
std::string fileSystemName(const QString& path);

}  // namespace trovik
