#include "wav_player.h"

namespace trovik {

WavPlayer::WavPlayer(Mixer& mixer, const DrumKit& drumKit, int outputRate, HitTiming timing)
    : mixer_(mixer), drumKit_(drumKit), outputRate_(outputRate), timing_(timing), cache_(outputRate) {}

void WavPlayer::PlaySample(const std::string& path) {
    collectReleased();
    if (outputRate_ <= 0) return;
    const std::int64_t frame = frameOfThisHit();
    mixer_.postStop(frame);
    const Sample* sample = cache_.get(drumKit_.resolve(path));
    if (sample == nullptr) return;
    if (mixer_.postStart(*sample, frame)) cache_.lend(sample);  // a full queue drops the hit
}

void WavPlayer::collectReleased() {
    while (const Sample* done = mixer_.takeReleased()) cache_.giveBack(done);
    cache_.collectDecoded();
}

std::int64_t WavPlayer::frameOfThisHit() const {
    if (timing_.streamClock == nullptr || timing_.hitTime == nullptr) return Mixer::kAsSoonAsPossible;
    const auto due = timing_.hitTime->due();
    if (!due) return Mixer::kAsSoonAsPossible;
    const std::int64_t frame = timing_.streamClock->frameAt(*due + timing_.latency);
    return frame == StreamClock::kUnknown ? Mixer::kAsSoonAsPossible : frame;
}

}  // namespace trovik
