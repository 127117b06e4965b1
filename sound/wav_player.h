#pragma once

#include <chrono>

#include "sound/drum_kit.h"
#include "sound/hit_scheduler.h"
#include "sound/mixer.h"
#include "sound/sample_cache.h"
#include "sound/sample_player.h"
#include "sound/stream_time.h"

namespace trovik {

// Where hits of the step grid are placed: on the stream's frames, a fixed
// latency after they were due. The grid's due times are in the stream's
// time (its ticks run on it). Without it every hit sounds as soon as
// possible.
struct HitTiming {
    const StreamTime* streamTime = nullptr;
    std::chrono::nanoseconds latency{0};
};

// Plays WAV files through a Mixer. Lives on the user-interface thread: it
// finds the decoded sound there (decoding it when the file is new or has
// changed), lends it to the mixer and takes back what the audio thread has
// finished with. Stop and start of one call fall on the same frame.
class WavPlayer : public SamplePlayer {
  public:
    // `outputRate` is the rate samples are decoded to; 0 means there is no
    // output at all, and every call is silent.
    WavPlayer(Mixer& mixer, const DrumKit& drumKit, int outputRate, HitTiming timing = HitTiming());

    void PlaySample(const std::string& path) override;
    void PlaySampleAt(const std::string& path, const GridHit& hit) override;

    // Takes back what the audio thread has finished with. PlaySample does this too.
    void collectReleased();

    std::size_t samplesHeld() const { return cache_.samplesHeld(); }
    // Blocks until the background decoder has nothing left to do but stream.
    void waitForDecodings() {
        cache_.waitForDecodings();
        collectReleased();
    }
    const HitScheduler& scheduler() const { return scheduler_; }

  private:
    void play(const std::string& path, std::int64_t frame);
    std::int64_t frameOf(const GridHit& hit);

    Mixer& mixer_;
    const DrumKit& drumKit_;
    int outputRate_;
    HitTiming timing_;
    HitScheduler scheduler_;
    std::uint64_t epochPlannedOn_ = 0;
    SampleCache cache_;
};

}  // namespace trovik
