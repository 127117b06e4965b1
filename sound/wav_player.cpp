#include "sound/wav_player.h"

namespace trovik {
namespace {

// How far the grid may stray from the stream clock before it is slewed
// (2 ms, above the clock's own wander under load), and before a new anchor
// is fixed (10 ms behind: the first anchor was fixed on an estimate that
// had not settled, and slewing would take minutes). A grid more than 3 ms
// ahead of the clock would eat into the 4 ms a late tick is allowed: better
// one small jump than hits that come too late.
int deadbandFrames(int rate) {
    return rate / 500;
}
int reanchorFrames(int rate) {
    return rate / 100;
}
int earlyLimitFrames(int rate) {
    return rate * 3 / 1000;
}

}  // namespace

WavPlayer::WavPlayer(Mixer& mixer, const DrumKit& drumKit, int outputRate, HitTiming timing)
    : mixer_(mixer),
      drumKit_(drumKit),
      outputRate_(outputRate),
      timing_(timing),
      scheduler_(outputRate, deadbandFrames(outputRate), reanchorFrames(outputRate),
                 earlyLimitFrames(outputRate)),
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
    const StreamClock* clock = timing_.streamClock;
    if (clock == nullptr) return Mixer::kAsSoonAsPossible;
    const std::uint64_t epoch = clock->epoch();
    const std::int64_t estimate = clock->frameAt(hit.due() + timing_.latency);
    if (epoch != epochPlannedOn_) {
        // Hits still waiting were planned on a clock that no longer holds:
        // after a stall they would sound its length too late. Withdraw them.
        mixer_.postDropFrom(Mixer::kAsSoonAsPossible + 1);
        epochPlannedOn_ = epoch;
    }
    const std::int64_t frame = scheduler_.frameOf(
        hit, estimate == StreamClock::kUnknown ? HitScheduler::kUnknown : estimate, epoch);
    return frame == HitScheduler::kUnknown ? Mixer::kAsSoonAsPossible : frame;
}

}  // namespace trovik
