#pragma once

#include <SDL.h>

#include <string>

#include "mixer.h"
#include "stream_clock.h"

namespace trovik {

// The sound card, opened once for the whole run with a small buffer and fed
// by the mixer from SDL's audio thread. When no device can be opened the
// program runs silently: isOpen() is false and sampleRate() is 0.
class AudioDevice {
public:
    static constexpr int kPreferredRate = 44100;
    static constexpr int kPreferredBufferFrames = 512;

    explicit AudioDevice(Mixer& mixer);
    ~AudioDevice();
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

    // Stops the audio thread; after this the mixer is no longer read.
    void close();

    bool isOpen() const { return device_ != 0; }
    int sampleRate() const { return isOpen() ? obtained_.freq : 0; }
    int bufferFrames() const { return isOpen() ? obtained_.samples : 0; }
    const std::string& error() const { return error_; }
    const StreamClock& streamClock() const { return clock_; }

private:
    static void SDLCALL fill(void* userdata, Uint8* stream, int bytes);

    Mixer& mixer_;
    StreamClock clock_;
    SDL_AudioDeviceID device_ = 0;
    SDL_AudioSpec obtained_{};
    std::string error_;
    bool subsystemStarted_ = false;
    bool priorityRaised_ = false;  // audio thread only
};

}  // namespace trovik
