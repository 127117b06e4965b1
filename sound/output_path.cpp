// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/output_path.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "sound/jack_device.h"
#include "sound/pulse_device.h"

namespace trovik {

const char* backendName(AudioBackend backend) {
    switch (backend) {
        case AudioBackend::Jack:
            return "jack";
        case AudioBackend::Pulse:
            return "pulse";
        case AudioBackend::Sdl:
            break;
    }
    return "sdl";
}

std::optional<AudioBackend> forcedBackend(const char* variable) {
    if (variable == nullptr || *variable == '\0') return std::nullopt;
    for (const AudioBackend backend : {AudioBackend::Jack, AudioBackend::Pulse, AudioBackend::Sdl})
        if (std::string_view(variable) == backendName(backend)) return backend;
    std::fprintf(stderr, "trovik: TROVIK_AUDIO must be jack, pulse or sdl; choosing by itself\n");
    return std::nullopt;
}

std::optional<int> fixedBufferFrames(const char* variable) {
    if (variable == nullptr || *variable == '\0') return std::nullopt;
    char* end = nullptr;
    const long frames = std::strtol(variable, &end, 10);
    if (*end != '\0' || frames < kMinBufferFrames || frames > kMaxBufferFrames) {
        std::fprintf(stderr,
                     "trovik: TROVIK_BUFFER_FRAMES must be a whole number from %d to %d; "
                     "using the default\n",
                     kMinBufferFrames, kMaxBufferFrames);
        return std::nullopt;
    }
    return static_cast<int>(frames);
}

BackendChoice chooseBackend(std::optional<AudioBackend> forced, const ServerProbes& probes) {
    if (forced == AudioBackend::Jack) return {AudioBackend::Jack, probes.jack()};
    if (forced == AudioBackend::Pulse) return {AudioBackend::Pulse, probes.pulse()};
    if (forced == AudioBackend::Sdl) return {AudioBackend::Sdl, std::nullopt};
    if (const auto rate = probes.jack()) return {AudioBackend::Jack, rate};
    if (const auto rate = probes.pulse()) return {AudioBackend::Pulse, rate};
    return {AudioBackend::Sdl, std::nullopt};
}

void OutputPath::prepareProcess(AudioThreadPriority priority) {
    AudioSystem::prepareProcess(priority);
}

OutputPath::OutputPath() : backend_(AudioBackend::Sdl), rate_(kFallbackRate), buffer_{0, false} {
    const BackendChoice choice = chooseBackend(forcedBackend(std::getenv("TROVIK_AUDIO")),
                                               {&JackDevice::serverRate, &PulseDevice::serverRate});
    backend_ = choice.backend;
    rate_ = choice.serverRate               ? *choice.serverRate
            : backend_ == AudioBackend::Sdl ? sdl_.serverRate(kFallbackRate)
                                            : kFallbackRate;
    const auto fixed = fixedBufferFrames(std::getenv("TROVIK_BUFFER_FRAMES"));
    const int defaultFrames =
        backend_ == AudioBackend::Pulse ? kDefaultPulseBufferFrames : kDefaultSdlBufferFrames;
    buffer_ = {fixed.value_or(defaultFrames), fixed.has_value()};
}

std::unique_ptr<OutputDevice> OutputPath::makeDevice(Mixer& mixer) {
    switch (backend_) {
        case AudioBackend::Jack:
            return std::make_unique<JackDevice>(mixer);
        case AudioBackend::Pulse:
            return std::make_unique<PulseDevice>(mixer, buffer_.frames);
        case AudioBackend::Sdl:
            break;
    }
    return std::make_unique<AudioDevice>(sdl_, mixer, buffer_);
}

}  // namespace trovik
