// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequencer/step_sequencer.h"

#include <algorithm>

namespace trovik {

StepSequencer::StepSequencer(SequencerLink& link, int sampleRate)
    : link_(link),
      sampleRate_(sampleRate),
      beat_(link.snapshots.read()),
      // Unlike any generation a snapshot carries, so the first one starts the grid.
      periodGeneration_(beat_.periodGeneration - 1),
      positionGeneration_(beat_.positionGeneration) {}

void StepSequencer::walk(int frames, StepSounds& sounds, std::int64_t nowNanoseconds) {
    takeSnapshot();
    const std::int64_t end = walked_ + frames;
    passTicksBeforeNewest(walked_);
    while (period_ > 0) {
        const std::int64_t due = tickFrame(nextIndex_);
        if (due >= end) break;
        Timer1_Timer(static_cast<int>(std::max<std::int64_t>(due - walked_, 0)), sounds);
        ++nextIndex_;
    }
    walked_ = end;
    tellFeedback(frames, nowNanoseconds);
}

void StepSequencer::takeSnapshot() {
    beat_ = link_.snapshots.read();
    if (beat_.positionGeneration != positionGeneration_) {
        positionGeneration_ = beat_.positionGeneration;
        position_ = std::clamp<int>(beat_.position, 1, kSteps);
    }
    if (beat_.periodGeneration != periodGeneration_) {
        periodGeneration_ = beat_.periodGeneration;
        period_ = std::max(beat_.period(), 0);
        gridStart_ = walked_;
        nextIndex_ = 1;
    }
}

std::int64_t StepSequencer::tickFrame(std::int64_t index) const {
    return gridStart_ + gridFrame(index, period_, sampleRate_);
}

// Only after a skip can more than one tick be due before the block starts.
void StepSequencer::passTicksBeforeNewest(std::int64_t frame) {
    if (period_ <= 0 || tickFrame(nextIndex_ + 1) > frame) return;
    const std::int64_t periodThousandths = std::int64_t{period_} * sampleRate_;
    std::int64_t newest = (frame - gridStart_) * 1000 / periodThousandths;
    while (tickFrame(newest + 1) <= frame) ++newest;
    while (tickFrame(newest) > frame) --newest;
    const std::int64_t passed = newest - nextIndex_;
    position_ = static_cast<int>((position_ - 1 + passed % kSteps) % kSteps) + 1;
    nextIndex_ = newest;
}

void StepSequencer::Timer1_Timer(int frameOffset, StepSounds& sounds) {
    for (Track track : kTracksInPlayOrder) {
        if (beat_.sounds(track) && beat_.cellIsOn(track, position_))
            sounds.PlaySample(track, frameOffset);
    }
    position_ = position_ == kSteps ? 1 : position_ + 1;
    ++ticks_;
}

void StepSequencer::tellFeedback(int blockFrames, std::int64_t nowNanoseconds) {
    StepFeedback told;
    told.framesWalked = walked_;
    told.nextTickFrame = period_ > 0 ? tickFrame(nextIndex_) : -1;
    told.tickAfterFrame = period_ > 0 ? tickFrame(nextIndex_ + 1) : -1;
    told.walkedAtNanoseconds = nowNanoseconds;
    told.ticks = ticks_;
    told.positionGeneration = positionGeneration_;
    told.sampleRate = sampleRate_;
    told.blockFrames = blockFrames;
    told.position = static_cast<std::int16_t>(position_);
    link_.feedback.write(told);
}

}  // namespace trovik
