// SPDX-License-Identifier: GPL-3.0-or-later
// The floor under the program's CPU use: an SDL output stream opened the way
// the program opens its own (the sound server's rate, 32-bit float stereo,
// the buffer from TROVIK_BUFFER_FRAMES, the same hints, a real-time audio
// thread), playing silence and doing nothing else until SIGINT or SIGTERM.
// Whatever the program costs beyond this is its own.
//
// usage: silence_floor
// Prints the rate, buffer and driver once the stream plays, and on the way
// out whether the audio thread got real-time priority.

#include <SDL.h>
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

constexpr int kFallbackRate = 48000;
constexpr int kDefaultBufferFrames = 512;
constexpr long kMinBufferFrames = 64;
constexpr long kMaxBufferFrames = 8192;

enum class Priority { NotYet, RealTime, Refused };

struct AudioThread {
    std::atomic<Priority> priority{Priority::NotYet};
};

// A whole number of frames, or nothing when the variable says something else.
std::optional<int> bufferFrames() {
    const char* text = std::getenv("TROVIK_BUFFER_FRAMES");
    if (text == nullptr || *text == '\0') return kDefaultBufferFrames;
    char* end = nullptr;
    const long frames = std::strtol(text, &end, 10);
    if (*end != '\0' || frames < kMinBufferFrames || frames > kMaxBufferFrames) return std::nullopt;
    return static_cast<int>(frames);
}

int serverRate() {
    char* name = nullptr;
    SDL_AudioSpec spec{};
    const bool known = SDL_GetDefaultAudioInfo(&name, &spec, 0) == 0 && spec.freq > 0;
    SDL_free(name);
    return known ? spec.freq : kFallbackRate;
}

bool raiseThisThreadToRealTime() {
    sched_param parameters{};
    parameters.sched_priority = sched_get_priority_min(SCHED_RR) + 9;
    return pthread_setschedparam(pthread_self(), SCHED_RR, &parameters) == 0;
}

void SDLCALL fillSilence(void* userdata, Uint8* stream, int bytes) {
    auto* thread = static_cast<AudioThread*>(userdata);
    if (thread->priority.load(std::memory_order_relaxed) == Priority::NotYet) {
        const bool raised = raiseThisThreadToRealTime();
        thread->priority.store(raised ? Priority::RealTime : Priority::Refused,
                               std::memory_order_relaxed);
    }
    std::memset(stream, 0, static_cast<std::size_t>(bytes));
}

const char* describe(Priority priority) {
    switch (priority) {
        case Priority::RealTime:
            return "real-time";
        case Priority::Refused:
            return "refused, ordinary";
        case Priority::NotYet:
            break;
    }
    return "never called";
}

// SIGINT and SIGTERM are blocked before SDL starts any thread, so every
// thread inherits the mask and the main thread takes them with sigwait.
sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace

int main() {
    const auto frames = bufferFrames();
    if (!frames) {
        std::fprintf(stderr,
                     "silence_floor: TROVIK_BUFFER_FRAMES must be a whole number from %ld to %ld\n",
                     kMinBufferFrames, kMaxBufferFrames);
        return 2;
    }
    const sigset_t signals = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_THREAD_FORCE_REALTIME_TIME_CRITICAL, "1");
    if (SDL_Init(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "silence_floor: %s\n", SDL_GetError());
        return 1;
    }
    AudioThread thread;
    SDL_AudioSpec wanted{};
    wanted.freq = serverRate();
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = static_cast<Uint16>(*frames);
    wanted.callback = &fillSilence;
    wanted.userdata = &thread;
    SDL_AudioSpec obtained{};
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) {
        std::fprintf(stderr, "silence_floor: %s\n", SDL_GetError());
        SDL_Quit();
        return 1;
    }
    SDL_PauseAudioDevice(device, 0);
    std::fprintf(stderr, "silence_floor: %d Hz, %d frames, driver %s\n", wanted.freq, *frames,
                 SDL_GetCurrentAudioDriver());

    int signal = 0;
    sigwait(&signals, &signal);
    SDL_CloseAudioDevice(device);
    SDL_Quit();
    std::fprintf(stderr, "silence_floor: stopped by signal %d; audio thread %s\n", signal,
                 describe(thread.priority.load()));
    return 0;
}
