#include "sound/wav_player.h"

namespace trovik {

WavPlayer::WavPlayer(Mixer& mixer, const DrumKit& drumKit, int outputRate, HitTiming timing)
    : mixer_(mixer),
      drumKit_(drumKit),
      outputRate_(outputRate),
      timing_(timing),
      scheduler_(outputRate),
      cache_(outputRate) {}

void WavPlayer::PlaySample(const std::string& path) {
    play(path, Mixer::kAsSoonAsPossible);
}

void WavPlayer::PlaySampleAt(const std::string& path, const GridHit& hit) {
    // The frame is fixed before any decoding, which may take a while for a new file.
    play(path, frameOf(hit));
}

void WavPlayer::play(const std::string& path, std::int64_t frame) {
    collectReleased();
    if (outputRate_ <= 0) return;
    mixer_.postStop(frame);
    const Sample* sample = cache_.get(drumKit_.resolve(path));
    if (sample == nullptr) return;
    if (mixer_.postStart(*sample, frame)) cache_.lend(sample);  // a full queue drops the hit
}

void WavPlayer::collectReleased() {
    while (const Sample* done = mixer_.takeReleased()) cache_.giveBack(done);
    cache_.collectDecoded();
}

std::int64_t WavPlayer::frameOf(const GridHit& hit) {
    const StreamTime* time = timing_.streamTime;
    if (time == nullptr) return Mixer::kAsSoonAsPossible;
    const std::uint64_t epoch = time->epoch();
    const std::int64_t estimate = time->frameOf(hit.due() + timing_.latency);
    if (epoch != epochPlannedOn_) {
        // Hits still waiting were planned on a clock that no longer holds:
        // after a stall they would sound its length too late. Withdraw them.
        mixer_.postDropFrom(Mixer::kAsSoonAsPossible + 1);
        epochPlannedOn_ = epoch;
    }
    const std::int64_t frame = scheduler_.frameOf(
        hit, estimate == StreamTime::kUnknown ? HitScheduler::kUnknown : estimate, epoch);
    return frame == HitScheduler::kUnknown ? Mixer::kAsSoonAsPossible : frame;
}

}  // namespace trovik
