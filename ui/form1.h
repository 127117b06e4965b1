// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include "beatfile/beat_file_commands.h"
#include "beatfile/beat_file_dialogs.h"
#include "browser/sample_browser.h"
#include "sequencer/beat_model.h"
#include "ui/form_controls.h"

namespace trovik {

// The main window: its controls, bound both ways to the beat model, and the
// wiring of their events to the handlers. What the controls show and what
// the model holds never differ.
class Form1 : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kWidth = 606;
    static constexpr int kHeight = 429;

    explicit Form1(BeatModel& beat, QWidget* parent = nullptr);

    const FormControls& controls() const { return c_; }
    QTimer& Timer2() { return timer2_; }
    SampleBrowser& sampleBrowser() { return sampleBrowser_; }

    // Shows the window with its frame, title bar and borders included,
    // centred on the screen.
    void showCentred();

    // Loads the beat file named on the command line, as Load does.
    void loadBeatFile(const QString& fileName) { beatFiles_.load(fileName); }

    // The transport monitor: the bar and tempo displays, from the model.
    void Timer2_Timer();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    void wireEvents();
    void bindModel();
    void wireSelector();
    void followSteps();
    void centre();

    FormControls c_;
    BeatModel& beat_;
    // Wakes when the step clock is about to move the position, so the bar
    // display follows it; idle while the clock stands still.
    QTimer timer2_;
    SampleBrowser sampleBrowser_;
    QtBeatFileDialogs beatFileDialogs_;
    BeatFileCommands beatFiles_;
    // Has no handler: it exists under its name but is never started, as its
    // ticks would do nothing.
    QTimer timer3_;
    QPixmap background_;  // the artwork, drawn for the screen's pixel ratio
    QSize centredFrame_;  // the frame size the window was last centred for
    bool centring_ = false;
};

}  // namespace trovik
