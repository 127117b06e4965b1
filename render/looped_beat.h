// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "render/render_inputs.h"
#include "sequencer/beat_model.h"
#include "sequencer/sequencer_link.h"
#include "sound/mixer.h"
#include "sound/sample.h"
#include "sound/track_slots.h"

namespace trovik::render {

// The beat played exactly as live play plays it, through the beat model,
// the step clock and the mixer, with the blocks asked for by a loop
// instead of a sound card. Its grid starts on frame 0.
class LoopedBeat {
  public:
    // Where each rendered block goes: interleaved stereo frames.
    using Sink = std::function<void(const float* interleaved, int frames)>;

    // `samples` by indexOf(Track); they must outlive the beat.
    LoopedBeat(const BeatToRender& beat, const std::array<bool, kTrackCount>& muted,
               const std::array<const Sample*, kTrackCount>& samples, int sampleRate);

    // Plays on up to the frame of tick `tick` (1 is the first of the grid),
    // not including it. A block never holds more than one tick, and the last
    // one ends exactly on that frame.
    void playUntilTick(std::uint64_t tick, const Sink& sink);
    // Stops the beat, as Stop does, and plays on until the sound playing
    // has ended, to its last frame.
    void ringOut(const Sink& sink);

    std::int64_t framesPlayed() const { return mixer_.framesRendered(); }

  private:
    void play(int frames, const Sink& sink);

    SequencerLink link_;
    BeatModel model_{link_};
    TrackSlots slots_;
    Mixer mixer_;
    std::vector<float> block_;
};

}  // namespace trovik::render
