#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "sound/sample.h"
#include "sound/spsc_queue.h"

namespace trovik {

// One voice, fed by commands from the user-interface thread and rendered by
// the audio thread. A command takes effect at a given frame of the output
// stream, so stop and start keep their order and may fall anywhere inside a
// buffer. A command whose frame has already passed takes effect at the first
// frame still to be rendered, and is counted as late.
//
// Commands are applied in the order of their frames (in the order they were
// posted among equal frames), so a hit never waits behind a command that is
// due later.
//
// Thread rules: post() and takeReleased() belong to one producer thread;
// render() and discardPending() to one consumer thread at a time (the audio
// thread while the device runs). render() never allocates, locks or blocks.
class Mixer {
  public:
    static constexpr std::int64_t kAsSoonAsPossible = INT64_MIN;
    static constexpr std::size_t kCapacity = 512;

    struct Command {
        // DropFrom: when it reaches the audio thread, every command still
        // waiting for a frame at or after `atFrame` is dropped unheard.
        enum class Kind : std::uint8_t { Stop, Start, DropFrom };
        Kind kind = Kind::Stop;
        const Sample* sample = nullptr;  // Start only; borrowed until released
        std::int64_t atFrame = kAsSoonAsPossible;
    };

    // Queues a command; false when the queue is full and it was dropped.
    bool post(const Command& command);
    bool postStop(std::int64_t atFrame = kAsSoonAsPossible);
    bool postStart(const Sample& sample, std::int64_t atFrame = kAsSoonAsPossible);
    // Withdraws what was planned for `frame` and later, before planning anew.
    bool postDropFrom(std::int64_t frame);

    // Audio thread: writes `frames` interleaved stereo frames to `out`.
    void render(float* out, int frames);

    // Consumer side, while nothing renders (the device is closed): applies
    // every waiting command without sounding it and silences the voice, so
    // that hits posted meanwhile never sound late and every borrowed sample
    // comes back. The frame count does not move.
    void discardPending();

    // A sample handed to postStart is borrowed until it comes back here:
    // the voice let it go (cut, stopped or finished), its Start was
    // overtaken by a later command before it sounded, or it was discarded.
    const Sample* takeReleased();

    // Frames rendered so far: the stream clock that commands are timed against.
    std::int64_t framesRendered() const { return framesRendered_.load(std::memory_order_acquire); }

    // Timed commands that arrived after their frame had passed. Any thread.
    std::int64_t lateCommands() const { return lateCommands_.load(std::memory_order_relaxed); }

  private:
    void takeNewCommands();
    void dropWaitingFrom(std::int64_t frame);
    void applyDue(std::int64_t now);
    void apply(const Command& command);
    void releaseVoice();
    void renderVoice(float* out, int frames);
    int copyVoiceFrames(float* out, int frames);

    SpscQueue<Command, kCapacity> commands_;
    // Room for every sample that can be borrowed at once: each queued or
    // waiting Start plus the one in the voice.
    SpscQueue<const Sample*, 4 * kCapacity> released_;

    // Consumer side only. Commands taken from the queue, sorted by frame.
    std::array<Command, kCapacity> waiting_{};
    std::size_t waitingCount_ = 0;
    const Sample* voice_ = nullptr;
    std::int64_t voicePosition_ = 0;

    std::atomic<std::int64_t> framesRendered_{0};
    std::atomic<std::int64_t> lateCommands_{0};
};

}  // namespace trovik
