// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "sequencer/beat_snapshot.h"
#include "sound/mixer.h"
#include "sound/sample.h"
#include "sound/track_slots.h"
#include "tests/sequencer/step_recorder.h"

namespace trovik::testing {

// A beat as the model would hand it over, built cell by cell.
class Beat {
  public:
    explicit Beat(int intervalMs = 100);
    Beat& on(Track track, int step);
    Beat& everyStep(Track track);
    Beat& mute(Track track);
    Beat& stopped();
    // A new grid: the first tick falls one period after the block it is read in.
    Beat& newGrid(std::uint32_t generation);
    const BeatSnapshot& snapshot() const { return snapshot_; }

  private:
    BeatSnapshot snapshot_;
};

// Frame i of a ramp holds base + i on both channels: the sample and the
// place in it can both be read back from the output.
std::unique_ptr<Sample> rampSample(float base, int frames);

// Renders `frames` frames in blocks of `blockFrames` (the last one shorter)
// and returns the left channel.
std::vector<float> renderLeft(Mixer& mixer, int frames, int blockFrames);

// The owner's side of TrackSlots, counting every loan: each sample offered
// must come back exactly once, either untaken from the next offer or
// released by the audio thread.
class LoanLedger {
  public:
    explicit LoanLedger(TrackSlots& slots) : slots_(slots) {}

    void offer(Track track, const Sample& sample);
    // Takes back everything released so far; returns how many.
    int takeBackReleased();

    int outstanding(const Sample& sample) const;
    int outstandingTotal() const;
    // A loan that came back more often than it went out.
    int overReturned() const { return overReturned_; }

  private:
    void giveBack(const Sample* sample);

    TrackSlots& slots_;
    std::map<const Sample*, int> lent_;
    int overReturned_ = 0;
};

}  // namespace trovik::testing
