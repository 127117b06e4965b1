#pragma once

#include <atomic>
#include <memory>
#include <vector>

namespace trovik {

// Decoded sound, ready for the output device: interleaved stereo float
// frames at the device's sample rate.
//
// A long file is decoded while it already plays: the decoder writes frames
// in order and publishes how many are ready; the audio thread plays only
// published frames. Once complete, the frame count is final.
class Sample {
public:
    static constexpr int kChannels = 2;
    static constexpr std::size_t kPrefaultBytes = 128u << 10;  // about the first chunk a decoding writes at once

    // Room for `capacityFrames` frames; nothing is ready yet.
    explicit Sample(int capacityFrames);
    // A complete sample holding exactly these frames.
    static std::unique_ptr<Sample> fromInterleaved(const std::vector<float>& interleaved);

    int capacity() const { return capacity_; }
    std::size_t bytes() const { return static_cast<std::size_t>(capacity_) * kChannels * sizeof(float); }

    // Decoder side.
    float* frameForWriting(int frame) { return data_.get() + static_cast<std::size_t>(frame) * kChannels; }
    void publish(int framesReady) { ready_.store(framesReady, std::memory_order_release); }
    void complete(int totalFrames) {
        ready_.store(totalFrames, std::memory_order_release);
        complete_.store(true, std::memory_order_release);
    }

    // Player side. Read isComplete() before framesReady(): once complete,
    // the count read after it is the final one.
    bool isComplete() const { return complete_.load(std::memory_order_acquire); }
    int framesReady() const { return ready_.load(std::memory_order_acquire); }
    const float* frame(int index) const { return data_.get() + static_cast<std::size_t>(index) * kChannels; }

    // For a complete sample.
    int frameCount() const { return framesReady(); }

private:
    struct Free {
        void operator()(float* data) const;
    };

    int capacity_;
    std::unique_ptr<float[], Free> data_;  // left uninitialised: the decoder fills it
    std::atomic<int> ready_{0};
    std::atomic<bool> complete_{false};
};

}  // namespace trovik
