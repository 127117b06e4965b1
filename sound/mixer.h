#pragma once

#include <atomic>
#include <cstdint>

#include "sample.h"
#include "spsc_queue.h"

namespace trovik {

// One voice, fed by commands from the user-interface thread and rendered by
// the audio thread. A command takes effect at a given frame of the output
// stream (or at once, when that frame has passed), so stop and start keep
// their order and may fall anywhere inside a buffer.
//
// Thread rules: post() and takeReleased() belong to one producer thread,
// render() to the audio thread. render() never allocates, locks or blocks.
class Mixer {
public:
    static constexpr std::int64_t kAsSoonAsPossible = 0;

    struct Command {
        enum class Kind : std::uint8_t { Stop, Start };
        Kind kind = Kind::Stop;
        const Sample* sample = nullptr;  // Start only; borrowed until released
        std::int64_t atFrame = kAsSoonAsPossible;
    };

    // Queues a command; false when the queue is full and it was dropped.
    bool post(const Command& command);
    bool postStop(std::int64_t atFrame = kAsSoonAsPossible);
    bool postStart(const Sample& sample, std::int64_t atFrame = kAsSoonAsPossible);

    // Audio thread: writes `frames` interleaved stereo frames to `out`.
    void render(float* out, int frames);

    // A sample handed to postStart is borrowed until it comes back here:
    // the voice let it go (cut, stopped or finished), or its Start was
    // overtaken by a later command before it sounded.
    const Sample* takeReleased();

    // Frames rendered so far: the stream clock that commands are timed against.
    std::int64_t framesRendered() const { return framesRendered_.load(std::memory_order_acquire); }

private:
    void applyDueCommands(std::int64_t now);
    void apply(const Command& command);
    void releaseVoice();
    int renderVoice(float* out, int frames);

    SpscQueue<Command, 512> commands_;
    // Room for every sample that can be borrowed at once: each queued Start
    // plus the one in the voice.
    SpscQueue<const Sample*, 1024> released_;

    // Audio thread only.
    const Sample* voice_ = nullptr;
    std::int64_t voicePosition_ = 0;

    std::atomic<std::int64_t> framesRendered_{0};
};

}  // namespace trovik
