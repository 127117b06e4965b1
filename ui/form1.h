#pragma once

#include <QWidget>

#include "beat_pattern.h"
#include "control_timer.h"
#include "form_controls.h"
#include "sample_player.h"
#include "step_clock.h"
#include "transport.h"

namespace trovik {

// The main window: its controls, its timers and the wiring of their events
// to the handlers. It keeps no state of its own beyond the controls.
class Form1 : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 606;
    static constexpr int kHeight = 429;

    explicit Form1(SamplePlayer& player, QWidget* parent = nullptr);

    const FormControls& controls() const { return c_; }
    ControlTimer& Timer1() { return timer1_; }
    ControlTimer& Timer2() { return timer2_; }
    StepClock& stepClock() { return stepClock_; }
    Transport& transport() { return transport_; }

    void showCentred();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void wireEvents();

    FormControls c_;
    ControlTimer timer1_;
    ControlTimer timer2_;
    BeatPattern pattern_;
    StepClock stepClock_;
    Transport transport_;
};

}  // namespace trovik
