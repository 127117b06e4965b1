// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/sound_engine.h"

#include <string>

#include "sound/device_keeper.h"
#include "sound/drum_kit.h"
#include "sound/mixer.h"
#include "sound/output_path.h"
#include "sound/track_samples.h"
#include "sound/track_slots.h"

namespace trovik {

// Declared in the order they depend on each other; destroyed the other way
// round, so the keeper's thread and then the audio thread stop before the
// samples they read go.
struct SoundEngine::Parts {
    Parts(const std::filesystem::path& dataFolder, SequencerLink& link)
        : drumKit(dataFolder),
          rate(path.sampleRate()),
          samples(slots, link, drumKit, rate),
          mixer(link, slots, rate),
          device(path.makeDevice(mixer)),
          keeper(*device, mixer, path.bufferFrames()) {}

    DrumKit drumKit;
    OutputPath path;
    int rate;
    TrackSlots slots;
    TrackSamples samples;
    Mixer mixer;
    std::unique_ptr<OutputDevice> device;
    DeviceKeeper keeper;
};

void SoundEngine::prepareProcess(AudioThreadPriority priority) {
    OutputPath::prepareProcess(priority);
}

SoundEngine::SoundEngine(const std::filesystem::path& dataFolder, SequencerLink& link)
    : parts_(std::make_unique<Parts>(dataFolder, link)) {
    // The drums are decoded before the first step, and a present server
    // sounds from the start.
    parts_->samples.lookNow();
    parts_->samples.start();
    parts_->keeper.check();
    parts_->keeper.start();
}

SoundEngine::~SoundEngine() = default;

void SoundEngine::setEffectPath(const std::string& path) {
    parts_->samples.setEffectPath(path);
}

bool SoundEngine::sounding() const {
    return parts_->keeper.sounding();
}

}  // namespace trovik
