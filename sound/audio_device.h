// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "sound/callback_watch.h"
#include "sound/mixer.h"
#include "sound/output_device.h"

namespace trovik {

// SDL's audio subsystem. It is started anew for every attempt to open the
// device after the sound server went away: the connection SDL made to the
// old server is dead, and the next server may be another one.
class AudioSystem {
  public:
    AudioSystem() = default;
    ~AudioSystem() { stop(); }
    AudioSystem(const AudioSystem&) = delete;
    AudioSystem& operator=(const AudioSystem&) = delete;

    // Process-wide settings, once, before the first engine is built.
    static void prepareProcess(AudioThreadPriority priority);

    bool start();
    void stop();
    bool started() const { return started_; }

    // The default output's own sample rate, or `fallback` when the server
    // does not tell (or there is none).
    int serverRate(int fallback);

    const std::string& error() const { return error_; }

  private:
    bool started_ = false;
    std::string error_;
};

// The sound card through SDL2, fed by the mixer from SDL's audio thread at
// the mixer's rate and a fixed buffer size (SDL converts where the card
// differs). May be opened and closed any number of times; the grid keeps
// its place on the steady clock across them (Mixer).
class AudioDevice : public OutputDevice {
  public:
    AudioDevice(AudioSystem& system, Mixer& mixer, BufferSize buffer);
    ~AudioDevice() override { close(); }
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

    bool open() override;
    // Stops the audio thread; after this the mixer is no longer rendered.
    void close() override;
    bool isOpen() const override { return device_ != 0; }
    // The server dropped the device, or its stream stalled (CallbackWatch).
    bool lost() override;
    bool ranDry() override;
    bool growBuffer() override;

    int bufferFrames() const override { return buffer_.frames; }

    // Audio thread.
    void fill(float* out, int frames);

  private:
    AudioSystem& system_;
    Mixer& mixer_;
    int sampleRate_;
    BufferSize buffer_;
    std::uint32_t device_ = 0;
    std::string error_;
    CallbackWatch watch_;
    bool priorityRaised_ = false;  // audio thread only
    bool errorTold_ = false;
};

}  // namespace trovik
