#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include "beatfile/beat_file_commands.h"
#include "beatfile/beat_file_dialogs.h"
#include "browser/sample_browser.h"
#include "sequencer/beat_pattern.h"
#include "sequencer/control_timer.h"
#include "sequencer/step_clock.h"
#include "sequencer/transport.h"
#include "sound/sample_player.h"
#include "ui/form_controls.h"

namespace trovik {

// The clocks the window's timers run on; a null clock stands for the steady
// clock.
struct FormClocks {
    // Timer1, the step timer, whose ticks the grid hits are due on.
    const TimerClock* steps = nullptr;
    // Timer2, which only watches controls.
    const TimerClock* watchers = nullptr;
};

// The main window: its controls, its timers and the wiring of their events
// to the handlers. It keeps no state of its own beyond the controls.
class Form1 : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kWidth = 606;
    static constexpr int kHeight = 429;
    // The transport monitor polls "as often as the platform allows"; we
    // allow it a few times per screen refresh, which is all a person can
    // see, instead of waking the processor every millisecond.
    static constexpr int kWatchPeriodMs = 10;

    explicit Form1(SamplePlayer& player, QWidget* parent = nullptr);
    // Runs the timers on `clock` rather than on the steady clock.
    Form1(SamplePlayer& player, const TimerClock& clock, QWidget* parent = nullptr);
    Form1(SamplePlayer& player, FormClocks clocks, QWidget* parent = nullptr);

    const FormControls& controls() const { return c_; }
    ControlTimer& Timer1() { return timer1_; }
    StepClock& stepClock() { return stepClock_; }
    SampleBrowser& sampleBrowser() { return sampleBrowser_; }

    // Shows the window with its frame, title bar and borders included,
    // centred on the screen.
    void showCentred();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    void wireEvents();
    void wireSelector();
    void centre();

    FormControls c_;
    SteadyTimerClock steadyClock_;
    ControlTimer timer1_;
    ControlTimer timer2_;
    BeatPattern pattern_;
    StepClock stepClock_;
    Transport transport_;
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
