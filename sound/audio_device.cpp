// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/audio_device.h"

#include <SDL.h>

#include <chrono>
#include <cstdio>

#include "sound/realtime_thread.h"

namespace trovik {
namespace {

void SDLCALL fillDevice(void* userdata, Uint8* stream, int bytes) {
    const int frames = bytes / static_cast<int>(sizeof(float) * Sample::kChannels);
    static_cast<AudioDevice*>(userdata)->fill(reinterpret_cast<float*>(stream), frames);
}

}  // namespace

void AudioSystem::prepareProcess(AudioThreadPriority priority) {
    // Qt owns the process's signals; SDL would turn SIGINT and SIGTERM into
    // events that nobody reads, and the program could not be ended.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_THREAD_FORCE_REALTIME_TIME_CRITICAL,
                priority == AudioThreadPriority::RealTime ? "1" : "0");
    // The samples are converted on threads of their own, which go on while
    // the audio subsystem is stopped and started again around a lost server.
    // A resampler that SDL loads with the subsystem (libsamplerate, chosen
    // through the environment) would be unloaded under them; SDL's own one
    // lives as long as the process.
    SDL_SetHintWithPriority(SDL_HINT_AUDIO_RESAMPLING_MODE, "default", SDL_HINT_OVERRIDE);
}

bool AudioSystem::start() {
    if (started_) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error_ = SDL_GetError();
        return false;
    }
    started_ = true;
    return true;
}

void AudioSystem::stop() {
    if (started_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    started_ = false;
}

int AudioSystem::serverRate(int fallback) {
    if (!start()) return fallback;
    char* name = nullptr;
    SDL_AudioSpec spec{};
    const bool known = SDL_GetDefaultAudioInfo(&name, &spec, 0) == 0 && spec.freq > 0;
    SDL_free(name);
    return known ? spec.freq : fallback;
}

AudioDevice::AudioDevice(AudioSystem& system, Mixer& mixer, BufferSize buffer)
    : system_(system),
      mixer_(mixer),
      sampleRate_(mixer.sampleRate()),
      buffer_(buffer),
      watch_(sampleRate_) {}

bool AudioDevice::open() {
    if (isOpen()) return true;
    if (!system_.start()) {
        error_ = system_.error();
        return false;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = sampleRate_;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = Sample::kChannels;
    wanted.samples = static_cast<Uint16>(buffer_.frames);
    wanted.callback = &fillDevice;
    wanted.userdata = this;
    // Rate, format, channels and buffer stay ours: SDL converts where the
    // server differs, so the steps stay on their frames.
    SDL_AudioSpec obtained{};
    priorityRaised_ = false;  // a new audio thread comes with the device
    watch_.restart();
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device_ == 0) {
        error_ = SDL_GetError();
        // Once, so that "no sound" can be told apart from a quiet beat.
        if (!errorTold_) std::fprintf(stderr, "trovik: no sound device yet: %s\n", error_.c_str());
        errorTold_ = true;
        // The next attempt connects anew, perhaps to a server that is back.
        system_.stop();
        return false;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void AudioDevice::close() {
    if (device_ == 0) return;
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    system_.stop();
}

bool AudioDevice::lost() {
    if (!isOpen()) return false;
    return SDL_GetAudioDeviceStatus(device_) != SDL_AUDIO_PLAYING || watch_.stalled();
}

bool AudioDevice::ranDry() {
    return watch_.ranDry();
}

bool AudioDevice::growBuffer() {
    return buffer_.grow();
}

void AudioDevice::fill(float* out, int frames) {
    if (!priorityRaised_) {
        raiseThisThreadToRealTime();
        priorityRaised_ = true;
    }
    const std::int64_t now = steadyNanoseconds();
    watch_.callback(now, frames);
    mixer_.setOutputLatency(nanosecondsIn(buffer_.frames, sampleRate_));
    mixer_.render(out, frames, now);
}

}  // namespace trovik
