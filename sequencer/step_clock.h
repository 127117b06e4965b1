#pragma once

#include <QLabel>
#include <QScrollBar>

#include "sequencer/beat_pattern.h"
#include "sequencer/control_timer.h"
#include "sound/sample_player.h"

namespace trovik {

// Plays the current step of every sounding track, then moves on one step.
// The hits of a tick name the tick of Timer1's grid they belong to, so they
// sound in time even when the tick itself ran late.
class StepClock {
  public:
    StepClock(const BeatPattern& pattern, QScrollBar& HScroll1, const QLabel& Label7,
              SamplePlayer& player, const ControlTimer& Timer1);

    void Timer1_Timer();

  private:
    std::string samplePathOf(Track track) const;

    const BeatPattern& pattern_;
    QScrollBar& position_;
    const QLabel& effectPath_;
    SamplePlayer& player_;
    const ControlTimer& timer_;
};

}  // namespace trovik
