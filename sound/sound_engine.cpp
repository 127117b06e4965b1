// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/sound_engine.h"

#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <thread>

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
          samples(slots, drumKit, rate),
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

SoundEngine::SoundEngine(const std::filesystem::path& dataFolder, SequencerLink& link,
                         StepTimeline* timeline)
    : parts_(std::make_unique<Parts>(dataFolder, link)) {
    parts_->mixer.follow(timeline);
    // The drums are decoded before the first step, and a present server
    // sounds from the start.
    parts_->samples.lookNow();
    parts_->samples.start();
    parts_->keeper.check();
    parts_->keeper.start();
}

// A sound server that hangs holds the device's close, and with it the
// keeper's looking thread, for as long as it hangs. What reads the beat's
// link stops first, at once; the rest is left to a thread of its own,
// waited for kShutdownWait at most, and otherwise to the end of the process.
SoundEngine::~SoundEngine() {
    parts_->samples.stop();
    parts_->keeper.stopRendering();
    auto finished = std::make_shared<std::promise<void>>();
    std::future<void> done = finished->get_future();
    std::thread teardown([parts = std::move(parts_), finished]() mutable {
        parts.reset();
        finished->set_value();
    });
    if (done.wait_for(kShutdownWait) == std::future_status::ready) {
        teardown.join();
    } else {
        std::fprintf(stderr, "trovik: the sound server does not answer; leaving it behind\n");
        teardown.detach();
    }
}

void SoundEngine::setEffectPath(const std::string& path) {
    parts_->samples.setEffectPath(path);
}

void SoundEngine::lookAtSamplesNow() {
    parts_->samples.lookSoon();
}

bool SoundEngine::sounding() const {
    return parts_->keeper.sounding();
}

}  // namespace trovik
