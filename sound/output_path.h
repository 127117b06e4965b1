// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "sound/audio_device.h"
#include "sound/mixer.h"
#include "sound/output_device.h"

namespace trovik {

// The ways out to the speakers: a JACK server, a PulseAudio server (or
// PipeWire's PulseAudio service) through a native stream, or SDL2 with
// whichever driver it picks.
enum class AudioBackend { Jack, Pulse, Sdl };

const char* backendName(AudioBackend backend);

// The backend TROVIK_AUDIO (its value, or null) forces; none when it is
// unset or empty, and none, with one line on standard error, when it names
// no backend.
std::optional<AudioBackend> forcedBackend(const char* variable);

// The buffer size TROVIK_BUFFER_FRAMES (its value, or null) fixes; none when
// it is unset or empty, and none, with one line on standard error, when it
// is not a whole number from kMinBufferFrames to kMaxBufferFrames.
std::optional<int> fixedBufferFrames(const char* variable);

// The rate of a server of each kind that answers, or none.
struct ServerProbes {
    std::function<std::optional<int>()> jack;
    std::function<std::optional<int>()> pulse;
};

struct BackendChoice {
    AudioBackend backend;
    std::optional<int> serverRate;  // when a server answered and told it
};

// The forced backend, else JACK when a JACK server answers, else the native
// stream when a PulseAudio server answers, else SDL. Probes only as far as
// it needs to.
BackendChoice chooseBackend(std::optional<AudioBackend> forced, const ServerProbes& probes);

// The output the program plays through, chosen once from the environment
// (TROVIK_AUDIO, TROVIK_BUFFER_FRAMES) and the servers that answer: the
// backend, the rate to play at and the first buffer size; it builds the
// device. The program's engine and the CPU floor tool open their streams
// through it alike.
class OutputPath {
  public:
    // The rate when no server tells one (or there is none yet).
    static constexpr int kFallbackRate = 48000;
    // SDL's stream: the buffer SDL hands to the server whole.
    static constexpr int kDefaultSdlBufferFrames = 512;
    // The native stream: the length the server keeps queued (21.3 ms at
    // 48 kHz), refilled a quarter at a time.
    static constexpr int kDefaultPulseBufferFrames = 1024;

    // Process-wide settings of the sound libraries, once, before the first
    // path is built.
    static void prepareProcess(AudioThreadPriority priority);

    OutputPath();
    OutputPath(const OutputPath&) = delete;
    OutputPath& operator=(const OutputPath&) = delete;

    AudioBackend backend() const { return backend_; }
    int sampleRate() const { return rate_; }
    // The buffer the device opens with. JACK's period is the server's own:
    // there this is only the block the steps are walked in, silently, while
    // no server answers.
    int bufferFrames() const { return buffer_.frames; }

    // The device for `mixer`, which plays at sampleRate(); opened by its user.
    std::unique_ptr<OutputDevice> makeDevice(Mixer& mixer);

  private:
    AudioSystem sdl_;
    AudioBackend backend_;
    int rate_;
    BufferSize buffer_;
};

}  // namespace trovik
