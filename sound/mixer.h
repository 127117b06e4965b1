// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

#include "sequencer/step_sequencer.h"
#include "sound/sample.h"
#include "sound/track_slots.h"

namespace trovik {

// Renders the beat: walks the step clock over each block and plays its hits
// on one voice, each starting on its exact frame and cutting the sound that
// was playing. Each track plays the sample its slot last handed over.
//
// Runs on the audio thread, or on whatever stands in for it while there is
// no device; one thread at a time. Never allocates, locks, logs or touches
// a file.
class Mixer : private StepSounds {
  public:
    Mixer(SequencerLink& link, TrackSlots& slots, int sampleRate);

    // Writes the next `frames` interleaved stereo frames to `out`.
    // `nowNanoseconds`: the steady clock, told back to the model.
    void render(float* out, int frames, std::int64_t nowNanoseconds);

    std::int64_t framesRendered() const { return steps_.framesWalked(); }
    int sampleRate() const { return steps_.sampleRate(); }
    // How many frames the sound playing has still to play: 0 when none
    // plays, Sample::kEndUnknown while its end is not known yet (a sample
    // still being decoded, or streamed).
    std::int64_t voiceFramesLeft() const;
    // Between blocks: the sound playing becomes `track`'s sample from frame
    // `position` on, as if a hit had started it that many frames ago.
    void continueVoice(Track track, std::int64_t position);

  private:
    void PlaySample(Track track, int frameOffset) override;
    void takeOffers();
    void renderVoiceUntil(int frame);
    void letVoiceGo();

    StepSequencer steps_;
    TrackSlots& slots_;
    std::array<const Sample*, kTrackCount> current_{};
    // The block being rendered, and how far.
    float* out_ = nullptr;
    int done_ = 0;
    // The one voice: which track's sample, from which frame on. A voice
    // whose track has taken another sample meanwhile holds the old loan.
    const Sample* voice_ = nullptr;
    bool voiceHoldsLoan_ = false;
    std::int64_t voicePosition_ = 0;
};

}  // namespace trovik
