#include "sound/sound_engine.h"

#include <chrono>

#include "sound/audio_device.h"
#include "sound/device_keeper.h"
#include "sound/drum_kit.h"
#include "sound/mixer.h"
#include "sound/stream_clock.h"
#include "sound/stream_time.h"
#include "sound/wav_player.h"

namespace trovik {
namespace {

// Used when the server does not tell its own rate, or there is no server yet.
constexpr int kFallbackRate = 48000;
// 21.3 ms at 48 kHz. With 512 frames (10.7 ms) PulseAudio ran dry about
// once a minute on a two-core machine whose cores were both busy, and with
// 256 frames several times a minute on an idle one.
constexpr int kBufferFrames = 1024;
// Room for a tick that runs late: on a machine with every core busy, even a
// thread of raised priority now and then wakes 7 to 8 ms late.
constexpr std::chrono::microseconds kLateTickAllowance{10000};
// The step timer's thread: ahead of ordinary programs, behind the audio
// thread, which runs in real time where the system allows.
constexpr int kStepTimerNice = -10;

// Every hit sounds this long after its step was due: one device buffer, so
// that a hit can always be placed in a buffer not yet rendered, plus room for
// a tick that runs late.
std::chrono::nanoseconds hitLatency(int rate) {
    return std::chrono::nanoseconds(std::int64_t{kBufferFrames} * 1'000'000'000 / rate) +
           kLateTickAllowance;
}

}  // namespace

// Declared in the order they depend on each other; destroyed the other way
// round, so the keeper's thread and then the audio thread stop before the
// player, its samples and the mixer go.
struct SoundEngine::Parts {
    explicit Parts(const std::filesystem::path& dataFolder)
        : drumKit(dataFolder),
          rate(system.serverRate(kFallbackRate)),
          streamTime(clock),
          player(mixer, drumKit, rate, {&streamTime, hitLatency(rate)}),
          device(system, mixer, clock, rate, kBufferFrames),
          keeper(device, mixer, clock) {}

    Mixer mixer;
    DrumKit drumKit;
    StreamClock clock;
    AudioSystem system;
    int rate;
    StreamTime streamTime;
    WavPlayer player;
    AudioDevice device;
    DeviceKeeper keeper;
};

void SoundEngine::prepareProcess() {
    AudioSystem::prepareProcess();
}

bool SoundEngine::raiseStepTimerThread() {
    return AudioSystem::raiseCallingThread(kStepTimerNice);
}

SoundEngine::SoundEngine(const std::filesystem::path& dataFolder)
    : parts_(std::make_unique<Parts>(dataFolder)) {
    parts_->keeper.check();  // the first attempt at once, so a present server sounds from the start
    parts_->keeper.start();
}

SoundEngine::~SoundEngine() = default;

SamplePlayer& SoundEngine::player() {
    return parts_->player;
}

StreamTime& SoundEngine::streamTime() {
    return parts_->streamTime;
}

int SoundEngine::sampleRate() const {
    return parts_->rate;
}

bool SoundEngine::sounding() const {
    return parts_->keeper.sounding();
}

std::int64_t SoundEngine::lateCommands() const {
    return parts_->mixer.lateCommands();
}

}  // namespace trovik
