// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "sequencer/beat_snapshot.h"
#include "sequencer/sequencer_link.h"
#include "sequencer/step_timeline.h"
#include "sequencer/track.h"

namespace trovik {

// What a step does with a hit: stop the sound playing and start the track's
// sample, `frameOffset` frames into the block being walked.
class StepSounds {
  public:
    virtual ~StepSounds() = default;
    virtual void PlaySample(Track track, int frameOffset) = 0;
};

// The step clock, walked block by block by the thread that renders the
// sound, so that every step falls on its exact frame whatever the window is
// doing. Tick n of a grid falls on start + round(n * interval * rate / 1000);
// a grid starts wherever the period takes a new value (Play, Stop, a new
// tempo), and the first tick sounds one whole period later. The frames are
// the grid's: they follow the stream's frames, and move over a break in the
// stream (skip()), so that the grid keeps its place on the clock.
//
// It keeps the position it plays; the beat, the running flag and the tempo
// come from the newest snapshot the model wrote. Never allocates, locks or
// waits: safe on the audio thread.
class StepSequencer {
  public:
    StepSequencer(SequencerLink& link, int sampleRate);

    // Walks the next `frames` frames of the stream, telling `sounds` of every
    // hit in the order they fall. `nowNanoseconds` is the steady clock's
    // time, told back to the model with the position.
    // With a timeline that follows, `heardAtNanoseconds` (the steady clock
    // when the block's first frame is heard) places the block on it.
    void walk(int frames, StepSounds& sounds, std::int64_t nowNanoseconds,
              std::int64_t heardAtNanoseconds = 0);

    // While `timeline` says it follows, the ticks fall where its sixteenths
    // do, on the nearest frame, the position is the sixteenth's step in its
    // bar and only a playing session sounds them; the model's running flag,
    // interval and position are not used. When it stops following, the
    // step clock's own grid goes on from the last tick. Set before walking.
    void follow(StepTimeline* timeline) { timeline_ = timeline; }

    // The frame of tick `index` of a grid that starts on frame 0.
    static std::int64_t gridFrame(std::int64_t index, int periodMs, int sampleRate) {
        // Rounded to the nearest frame, so the ticks stay whole periods apart
        // on average at any rate and never drift.
        const std::int64_t scaled = index * periodMs * sampleRate;
        return (2 * scaled + 1000) / 2000;
    }
    // The next block starts `frames` grid frames later than the last one
    // ended: they fell in a hole of the stream. Of the ticks due in them
    // only the newest sounds, on the block's first frame; the position
    // moves on past all of them. Negative: the next block starts that much
    // earlier, where the stream before rendered ahead of the clock and
    // stopped before it played; no tick sounds twice.
    void skip(std::int64_t frames) { walked_ += frames; }

    int position() const { return position_; }
    std::int64_t framesWalked() const { return walked_; }
    int sampleRate() const { return sampleRate_; }

  private:
    void takeSnapshot();
    std::int64_t tickFrame(std::int64_t index) const;
    void passTicksBeforeNewest(std::int64_t frame);
    // One step: plays every sounding track's cell at the position, then moves on.
    void Timer1_Timer(int frameOffset, StepSounds& sounds);
    void tellFeedback(int blockFrames, std::int64_t nowNanoseconds);
    void walkTimeline(const TimelineSpan& span, int frames, StepSounds& sounds);
    void leaveTimeline();

    SequencerLink& link_;
    int sampleRate_;
    BeatSnapshot beat_;
    std::int64_t walked_ = 0;
    int period_ = 0;
    std::uint32_t periodGeneration_;
    std::uint32_t positionGeneration_;
    std::int64_t gridStart_ = 0;
    std::int64_t nextIndex_ = 1;
    std::uint64_t ticks_ = 0;
    int position_ = 1;
    StepTimeline* timeline_ = nullptr;
    bool following_ = false;
    static constexpr std::int64_t kNoSixteenth = INT64_MIN;
    std::int64_t nextSixteenth_ = kNoSixteenth;
    std::int64_t lastTickFrame_ = 0;
    std::int64_t timelineNextTick_ = -1;
    std::int64_t timelineTickAfter_ = -1;
};

}  // namespace trovik
