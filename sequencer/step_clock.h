#pragma once

#include <QLabel>
#include <QScrollBar>

#include "beat_pattern.h"
#include "sample_player.h"

namespace trovik {

// Plays the current step of every sounding track, then moves on one step.
class StepClock {
public:
    StepClock(const BeatPattern& pattern, QScrollBar& HScroll1, const QLabel& Label7, SamplePlayer& player);

    void Timer1_Timer();

private:
    std::string samplePathOf(Track track) const;

    const BeatPattern& pattern_;
    QScrollBar& position_;
    const QLabel& effectPath_;
    SamplePlayer& player_;
};

}  // namespace trovik
