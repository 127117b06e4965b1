#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>

#include "sequencer/control_timer.h"

namespace trovik {

// Play, Stop and the monitor that keeps the step clock in line with the
// running flag and the tempo control. All state stays in the controls.
class Transport {
  public:
    struct Controls {
        QCheckBox& Check1;     // running flag: checked while running
        QScrollBar& HScroll1;  // step position, 1..16: the step the next tick plays
        QScrollBar& VScroll1;  // step interval in ms, 0..999
        ControlTimer& Timer1;  // the step clock
        QLabel& Label3;        // tempo display
        QLabel& Label4;        // bar display
    };

    explicit Transport(Controls controls) : c_(controls) {}

    void Command1_Click();  // Play
    void Command2_Click();  // Stop
    void Timer2_Timer();    // monitor

    static QString barText(int position);
    static QString tempoText(int interval);

  private:
    bool running() const { return c_.Check1.checkState() == Qt::Checked; }

    Controls c_;
};

}  // namespace trovik
