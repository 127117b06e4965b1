// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "render/render_inputs.h"
#include "sequencer/beat_model.h"
#include "sequencer/sequencer_link.h"
#include "sound/mixer.h"
#include "sound/sample.h"
#include "sound/track_slots.h"

namespace trovik::render {

// What a track plays: its sample and the sample's length.
struct TrackSound {
    const Sample* sample = nullptr;
    std::int64_t frames = 0;
};

// The beat played exactly as live play plays it, through the beat model,
// the step clock and the mixer, with the blocks asked for by a loop
// instead of a sound card. Its grid starts on frame 0.
//
// It plays a number of steady passes of the 16 steps, from the first step
// of the second pass on, as a file that loops without a seam: what rings in
// at its start is what its own last hit plays on into the next pass.
class LoopedBeat {
  public:
    // Where each rendered block goes: interleaved stereo frames.
    using Sink = std::function<void(const float* interleaved, int frames)>;
    // Called before every block: it readies what the samples need for it.
    using Feed = std::function<void()>;

    // `sounds` by indexOf(Track); their samples must outlive the beat.
    LoopedBeat(const BeatToRender& beat, const std::array<bool, kTrackCount>& muted,
               const std::array<TrackSound, kTrackCount>& sounds, int sampleRate, Feed feed,
               std::uint64_t loops);

    // The frames of the loops, and of the ring-out after them.
    std::int64_t loopFrames() const { return loopFrames_; }
    std::int64_t tailFrames() const { return tailFrames_; }

    void playLoops(const Sink& sink);
    // Then stops the beat, as Stop does, and plays on until the sound
    // playing has ended, to its last frame.
    void ringOut(const Sink& sink);

  private:
    struct Hit {
        int step;
        Track track;
    };
    std::optional<Hit> lastHitOfAPass() const;
    std::int64_t gridFrame(std::uint64_t tick) const;
    // Plays on up to the frame of tick `tick` (1 is the first of the grid),
    // not including it. A block never holds more than one tick, and the last
    // one ends exactly on that frame.
    void playUntilTick(std::uint64_t tick, const Sink& sink);
    void play(int frames, const Sink& sink);

    SequencerLink link_;
    BeatModel model_{link_};
    TrackSlots slots_;
    Mixer mixer_;
    Feed feed_;
    int interval_;
    int sampleRate_;
    std::uint64_t loops_;
    std::int64_t loopFrames_ = 0;
    std::int64_t tailFrames_ = 0;
    std::vector<float> block_;
};

}  // namespace trovik::render
