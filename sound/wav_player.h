#pragma once

#include <chrono>

#include "drum_kit.h"
#include "hit_time.h"
#include "mixer.h"
#include "sample_cache.h"
#include "sample_player.h"
#include "stream_clock.h"

namespace trovik {

// Where the hits of a step clock tick are placed: at the tick's due time plus
// a fixed latency, on the exact frame, so late ticks and buffer boundaries
// add no jitter. Without a stream clock every hit sounds as soon as possible.
struct HitTiming {
    const StreamClock* streamClock = nullptr;
    const HitTime* hitTime = nullptr;
    std::chrono::nanoseconds latency{0};
};

// Plays WAV files through a Mixer. Lives on the user-interface thread: it
// finds the decoded sound there (decoding it when the file is new or has
// changed), lends it to the mixer and takes back what the audio thread has
// finished with. Stop and start of one call fall on the same frame.
class WavPlayer : public SamplePlayer {
public:
    // `outputRate` is the device's sample rate; 0 means there is no device,
    // and every call is silent.
    WavPlayer(Mixer& mixer, const DrumKit& drumKit, int outputRate, HitTiming timing = HitTiming());

    void PlaySample(const std::string& path) override;

    // Takes back what the audio thread has finished with. PlaySample does this too.
    void collectReleased();

    std::size_t samplesHeld() const { return cache_.samplesHeld(); }
    int decodingsUnderWay() const { return cache_.decodingsUnderWay(); }

private:
    std::int64_t frameOfThisHit() const;

    Mixer& mixer_;
    const DrumKit& drumKit_;
    int outputRate_;
    HitTiming timing_;
    SampleCache cache_;
};

}  // namespace trovik
