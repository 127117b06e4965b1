#include "sequencer/step_clock.h"

#include <QFile>

#include "sound/drum_kit.h"

namespace trovik {

StepClock::StepClock(const BeatPattern& pattern, QScrollBar& HScroll1, const QLabel& Label7,
                     SamplePlayer& player, const ControlTimer& Timer1)
    : pattern_(pattern),
      position_(HScroll1),
      effectPath_(Label7),
      player_(player),
      timer_(Timer1) {}

void StepClock::Timer1_Timer() {
    const GridHit hit{timer_.gridStart(), std::chrono::milliseconds(timer_.interval()),
                      timer_.tickIndex()};
    const int step = position_.value();
    // Tracks in this order: when several hit on one step, each start cuts the
    // one before, so the effect wins over the snare and the snare over the bass.
    for (Track track : kTracksInPlayOrder) {
        if (pattern_.sounds(track) && pattern_.cellIsOn(track, step))
            player_.PlaySampleAt(samplePathOf(track), hit);
    }
    position_.setValue(step == kSteps ? 1 : step + 1);
}

std::string StepClock::samplePathOf(Track track) const {
    switch (track) {
        case Track::Bass:
            return DrumKit::kBassName;
        case Track::Snare:
            return DrumKit::kSnareName;
        case Track::Effect:
            // The bytes the file system knows the file by, whatever its name holds.
            return QFile::encodeName(effectPath_.text()).toStdString();
    }
    return {};
}

}  // namespace trovik
