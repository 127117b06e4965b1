#include "audio_device.h"

#include <pthread.h>
#include <sched.h>

namespace trovik {
namespace {

// SDL asks for real-time priority only through a desktop service that many
// systems lack; asking the kernel directly works wherever the user may
// (root, or a real-time limit granted to audio users) and is a no-op elsewhere.
void raiseThisThreadToRealTime() {
    sched_param parameters{};
    parameters.sched_priority = sched_get_priority_min(SCHED_RR) + 9;
    pthread_setschedparam(pthread_self(), SCHED_RR, &parameters);
}

}  // namespace

AudioDevice::AudioDevice(Mixer& mixer) : mixer_(mixer) {
    // Qt owns the process's signals; SDL would turn SIGINT and SIGTERM into
    // events that nobody reads, and the program could not be ended.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The audio thread only copies frames, so it may safely run with real-time
    // priority where the system allows it; a busy machine then cannot starve
    // the small buffer into a dropout.
    SDL_SetHint(SDL_HINT_THREAD_FORCE_REALTIME_TIME_CRITICAL, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error_ = SDL_GetError();
        return;
    }
    subsystemStarted_ = true;
    SDL_AudioSpec wanted{};
    wanted.freq = kPreferredRate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = Sample::kChannels;
    wanted.samples = kPreferredBufferFrames;
    wanted.callback = &AudioDevice::fill;
    wanted.userdata = this;
    // Format and channels stay ours (SDL converts if the card differs); the
    // rate may follow the card, and samples are decoded to whatever it is.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained_,
                                  SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (device_ == 0) {
        error_ = SDL_GetError();
        return;
    }
    clock_.setSampleRate(obtained_.freq);
    SDL_PauseAudioDevice(device_, 0);
}

AudioDevice::~AudioDevice() {
    close();
    if (subsystemStarted_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void AudioDevice::close() {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    device_ = 0;
}

void SDLCALL AudioDevice::fill(void* userdata, Uint8* stream, int bytes) {
    auto* self = static_cast<AudioDevice*>(userdata);
    if (!self->priorityRaised_) {
        raiseThisThreadToRealTime();
        self->priorityRaised_ = true;
    }
    const int frames = bytes / static_cast<int>(sizeof(float) * Sample::kChannels);
    self->clock_.onCallback(self->mixer_.framesRendered(), StreamClock::Clock::now());
    self->mixer_.render(reinterpret_cast<float*>(stream), frames);
}

}  // namespace trovik
