// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequencer/step_sequencer.h"

#include <algorithm>
#include <cmath>

namespace trovik {

StepSequencer::StepSequencer(SequencerLink& link, int sampleRate)
    : link_(link),
      sampleRate_(sampleRate),
      beat_(link.snapshots.read()),
      // Unlike any generation a snapshot carries, so the first one starts the grid.
      periodGeneration_(beat_.periodGeneration - 1),
      positionGeneration_(beat_.positionGeneration) {}

void StepSequencer::walk(int frames, StepSounds& sounds, std::int64_t nowNanoseconds,
                         std::int64_t heardAtNanoseconds) {
    takeSnapshot();
    const std::int64_t end = walked_ + frames;
    if (timeline_ != nullptr) {
        const TimelineSpan span = timeline_->span(heardAtNanoseconds, frames, sampleRate_);
        if (span.follows) {
            walkTimeline(span, frames, sounds);
            walked_ = end;
            tellFeedback(frames, nowNanoseconds);
            return;
        }
        if (following_) leaveTimeline();
    }
    passTicksBeforeNewest(walked_);
    while (period_ > 0) {
        const std::int64_t due = tickFrame(nextIndex_);
        if (due >= end) break;
        Timer1_Timer(static_cast<int>(std::max<std::int64_t>(due - walked_, 0)), sounds);
        lastTickFrame_ = std::max(due, walked_);
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

// A sixteenth that falls on a block's first frame may have sounded as the
// last one of the block before, by rounding: it sounds once.
void StepSequencer::walkTimeline(const TimelineSpan& span, int frames, StepSounds& sounds) {
    following_ = true;
    timelineNextTick_ = timelineTickAfter_ = -1;
    if (!span.playing || span.sixteenthsPerFrame <= 0) {
        // Stopped, the position is the next step of where the timeline
        // stands, if it tells; else step 1.
        position_ = span.sixteenthsPerFrame > 0
                        ? stepOfSixteenth(static_cast<std::int64_t>(
                              std::ceil(span.sixteenthAt - 0.5 * span.sixteenthsPerFrame)))
                        : 1;
        nextSixteenth_ = kNoSixteenth;
        return;
    }
    auto frameOf = [&](std::int64_t sixteenth) {
        return std::llround((static_cast<double>(sixteenth) - span.sixteenthAt) /
                            span.sixteenthsPerFrame);
    };
    // The first sixteenth on or after the block's first frame; but the one
    // the block before left next while that lies within a sixteenth of the
    // start, so that none sounds twice or goes missing where blocks meet.
    std::int64_t next =
        static_cast<std::int64_t>(std::ceil(span.sixteenthAt - 0.5 * span.sixteenthsPerFrame));
    if (nextSixteenth_ != kNoSixteenth &&
        std::abs(static_cast<double>(nextSixteenth_) - span.sixteenthAt) <= 1.0)
        next = nextSixteenth_;
    for (; frameOf(next) < frames; ++next) {
        if (next < 0) continue;  // before the start: a count-in, silent
        const std::int64_t at = std::max<std::int64_t>(frameOf(next), 0);
        position_ = stepOfSixteenth(next);
        Timer1_Timer(static_cast<int>(at), sounds);
        lastTickFrame_ = walked_ + at;
    }
    nextSixteenth_ = next;
    position_ = stepOfSixteenth(std::max<std::int64_t>(next, 0));
    timelineNextTick_ = walked_ + frameOf(next);
    timelineTickAfter_ = walked_ + frameOf(next + 1);
}

// The own grid goes on from the last tick heard, at the model's interval.
void StepSequencer::leaveTimeline() {
    following_ = false;
    period_ = std::max(beat_.period(), 0);
    gridStart_ = lastTickFrame_;
    nextIndex_ = 1;
    passTicksBeforeNewest(walked_);
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
    if (following_) {
        told.nextTickFrame = timelineNextTick_;
        told.tickAfterFrame = timelineTickAfter_;
    } else {
        told.nextTickFrame = period_ > 0 ? tickFrame(nextIndex_) : -1;
        told.tickAfterFrame = period_ > 0 ? tickFrame(nextIndex_ + 1) : -1;
    }
    told.walkedAtNanoseconds = nowNanoseconds;
    told.ticks = ticks_;
    told.positionGeneration = positionGeneration_;
    told.sampleRate = sampleRate_;
    told.blockFrames = blockFrames;
    told.position = static_cast<std::int16_t>(position_);
    link_.feedback.write(told);
}

}  // namespace trovik
