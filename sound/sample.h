// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace trovik {

// Decoded sound, ready for the output device: interleaved stereo float
// frames at the device's sample rate.
//
// A sample is either held whole in memory or streamed. A streamed sample
// keeps its first frames (the head) in memory and the rest passes through a
// ring that the decoder thread fills ahead of where the sound plays; every
// start plays from the head while the decoder goes back behind it.
//
// A sound is decoded while it already plays: the decoder writes head frames
// in order and publishes how many are ready; the player reads only
// published frames. Once complete, the frame count is final.
//
// One player reads a sample at a time (the mixer's one voice): read() tells
// the decoder where playback stands.
class Sample {
  public:
    static constexpr int kChannels = 2;
    static constexpr std::size_t kPrefaultBytes =
        128u << 10;  // about the first chunk a decoding writes at once
    static constexpr std::int64_t kEndUnknown = std::numeric_limits<std::int64_t>::max();

    // Held whole: room for `capacityFrames` frames; nothing is ready yet.
    explicit Sample(int capacityFrames) : Sample(capacityFrames, 0) {}
    // Streamed: `headFrames` kept in memory, the rest through a ring of `ringFrames`.
    static std::unique_ptr<Sample> streamed(int headFrames, int ringFrames);
    // A complete sample holding exactly these frames.
    static std::unique_ptr<Sample> fromInterleaved(const std::vector<float>& interleaved);

    bool isStreamed() const { return ringFrames_ > 0; }
    int capacity() const { return capacity_; }  // of the head, for a streamed sample
    int ringCapacity() const { return ringFrames_; }
    std::size_t bytes() const {
        return (static_cast<std::size_t>(capacity_) + ringFrames_) * kChannels * sizeof(float);
    }

    // Player side (the audio thread): copies up to `frames` frames from
    // `position` on to `out` and tells how many it copied; fewer when the
    // rest is not decoded yet. `ended` once the sound has no frame after
    // them. Never blocks.
    struct Read {
        int frames = 0;
        bool ended = false;
    };
    Read read(std::int64_t position, float* out, int frames) const noexcept;

    // Decoder side, the head (the whole sound of a sample held whole).
    float* frameForWriting(int frame) {
        return data_.get() + static_cast<std::size_t>(frame) * kChannels;
    }
    void publish(int framesReady) { ready_.store(framesReady, std::memory_order_release); }
    // The sound ends within the head, after `totalFrames` frames.
    void complete(int totalFrames) {
        ready_.store(totalFrames, std::memory_order_release);
        complete_.store(true, std::memory_order_release);
    }

    // Decoder side, the ring of a streamed sample. It holds the frames from
    // streamedFrom() to streamedUntil().
    std::int64_t playPosition() const { return played_.load(std::memory_order_acquire); }
    std::int64_t streamedUntil() const { return ringEnd_.load(std::memory_order_relaxed); }
    std::int64_t streamedFrom() const {
        return std::max<std::int64_t>(capacity_, streamedUntil() - ringFrames_);
    }
    // The frames from `streamedUntil()` on may be written up to here.
    std::int64_t streamLimit() const;
    float* ringFrameForWriting(std::int64_t frame);
    void publishStream(std::int64_t end) { ringEnd_.store(end, std::memory_order_release); }
    // Empties the ring, to fill it again from the end of the head.
    void restartStream() { ringEnd_.store(capacity_, std::memory_order_release); }
    void endStream(std::int64_t totalFrames) { end_.store(totalFrames, std::memory_order_release); }
    std::int64_t streamEnd() const { return end_.load(std::memory_order_acquire); }

    // For a sample held whole. Read isComplete() before framesReady():
    // once complete, the count read after it is the final one.
    bool isComplete() const { return complete_.load(std::memory_order_acquire); }
    int framesReady() const { return ready_.load(std::memory_order_acquire); }
    const float* frame(int index) const {
        return data_.get() + static_cast<std::size_t>(index) * kChannels;
    }
    int frameCount() const { return framesReady(); }

  private:
    Sample(int capacityFrames, int ringFrames);
    int readRing(std::int64_t position, float* out, int frames) const noexcept;

    struct Free {
        void operator()(float* data) const;
    };

    int capacity_;
    int ringFrames_;
    std::unique_ptr<float[], Free>
        data_;  // head, then ring; left uninitialised: the decoder fills it
    std::atomic<int> ready_{0};
    std::atomic<bool> complete_{false};
    mutable std::atomic<std::int64_t> played_{0};  // written by the player only
    std::atomic<std::int64_t> ringEnd_;
    std::atomic<std::int64_t> end_{kEndUnknown};
};

}  // namespace trovik
