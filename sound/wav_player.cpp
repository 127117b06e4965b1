#include "wav_player.h"

#include "wav_decoder.h"

namespace trovik {

WavPlayer::WavPlayer(Mixer& mixer, const DrumKit& drumKit, int outputRate)
    : mixer_(mixer), drumKit_(drumKit), outputRate_(outputRate) {}

// The device is closed before the player goes (main builds them in that
// order), so nothing can still be borrowed by the audio thread here.
WavPlayer::~WavPlayer() = default;

void WavPlayer::PlaySample(const std::string& path) {
    collectReleased();
    if (outputRate_ <= 0) return;
    mixer_.postStop();
    std::unique_ptr<Sample> sample = decodeWav(drumKit_.resolve(path), outputRate_);
    if (!sample) return;
    if (!mixer_.postStart(*sample)) return;  // queue full: this hit is dropped
    const Sample* key = sample.get();
    borrowed_.emplace(key, std::move(sample));
}

void WavPlayer::collectReleased() {
    while (const Sample* done = mixer_.takeReleased()) borrowed_.erase(done);
}

}  // namespace trovik
