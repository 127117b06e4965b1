#pragma once

#include <QLabel>
#include <QScrollBar>

#include "beat_pattern.h"
#include "control_timer.h"
#include "hit_time.h"
#include "sample_player.h"

namespace trovik {

// Plays the current step of every sounding track, then moves on one step.
// The hits of a tick are stamped with the moment the tick was due, so they
// sound in time even when the tick itself ran late.
class StepClock {
public:
    StepClock(const BeatPattern& pattern, QScrollBar& HScroll1, const QLabel& Label7, SamplePlayer& player,
              const ControlTimer& Timer1, HitTime& hitTime);

    void Timer1_Timer();

private:
    std::string samplePathOf(Track track) const;

    const BeatPattern& pattern_;
    QScrollBar& position_;
    const QLabel& effectPath_;
    SamplePlayer& player_;
    const ControlTimer& timer_;
    HitTime& hitTime_;
};

}  // namespace trovik
