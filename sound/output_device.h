// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace trovik {

// How the thread that renders the sound is scheduled: as any thread, or
// with real-time priority where the system allows it.
enum class AudioThreadPriority { Normal, RealTime };

// The device buffer, in frames: what TROVIK_BUFFER_FRAMES may ask for, and
// how far a buffer grows by itself when the stream runs dry. Growth stops
// well below the largest size one may ask for: each doubling adds latency.
constexpr int kMinBufferFrames = 64;
constexpr int kMaxBufferFrames = 8192;
constexpr int kMaxGrownBufferFrames = 2048;

// The buffer a device opens with; a fixed one (asked for by the user) never
// grows.
struct BufferSize {
    int frames;
    bool fixed;

    // Twice `frames`, up to kMaxGrownBufferFrames; false when it may not grow.
    bool grow() {
        if (fixed || frames >= kMaxGrownBufferFrames) return false;
        frames = frames * 2 < kMaxGrownBufferFrames ? frames * 2 : kMaxGrownBufferFrames;
        return true;
    }
};

// An output that can be opened, may be lost while open (the sound server
// went away) and can be opened again. Used from one thread at a time.
class OutputDevice {
  public:
    virtual ~OutputDevice() = default;
    // Its audio callback calls Mixer::render(out, frames,
    // steadyNanoseconds()) once per buffer, and nothing else of the mixer.
    virtual bool open() = 0;
    // May wait as long as a sound server that hangs: the keeper has shut
    // the stream out of the mixer before.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // True when the open device no longer plays: the server dropped it, or
    // it has asked for no buffer for a long time. Called every half second.
    virtual bool lost() = 0;
    // True when the open device ran dry since the last look: the sound
    // stopped for a moment and the beat came late. Called every half second.
    virtual bool ranDry() { return false; }
    // Doubles the buffer for the next open, up to the largest it may have;
    // false when it has that already.
    virtual bool growBuffer() { return false; }
    virtual int bufferFrames() const { return 0; }
};

}  // namespace trovik
