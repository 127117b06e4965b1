// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/looped_beat.h"

#include <algorithm>
#include <stdexcept>

#include "sequencer/step_sequencer.h"

namespace trovik::render {
namespace {

constexpr int kBlockFrames = 8192;
// The steady loop starts on the first step of the second pass.
constexpr std::uint64_t kFirstSteadyTick = kSteps + 1;

}  // namespace

LoopedBeat::LoopedBeat(const BeatToRender& beat, const std::array<bool, kTrackCount>& muted,
                       const std::array<TrackSound, kTrackCount>& sounds, int sampleRate, Feed feed,
                       std::uint64_t loops)
    : mixer_(link_, slots_, sampleRate),
      feed_(std::move(feed)),
      interval_(beat.interval),
      sampleRate_(sampleRate),
      loops_(loops),
      block_(static_cast<std::size_t>(kBlockFrames) * Sample::kChannels) {
    for (Track track : kTracksInPlayOrder) {
        slots_.offer(track, *sounds[static_cast<std::size_t>(indexOf(track))].sample);
        if (muted[static_cast<std::size_t>(indexOf(track))]) model_.TrackSwitch_Click(track);
    }
    model_.rewind();
    model_.load(beat.interval, beat.captions);
    // An empty first block: the step clock takes the beat and its grid
    // starts here, on frame 0.
    mixer_.render(block_.data(), 0, steadyNanoseconds());

    const std::uint64_t endTick = kFirstSteadyTick + kSteps * loops_;
    loopFrames_ = gridFrame(endTick) - gridFrame(kFirstSteadyTick);
    if (const std::optional<Hit> last = lastHitOfAPass()) {
        const std::int64_t played =
            gridFrame(endTick) - gridFrame(endTick - kSteps + last->step - 1);
        const std::int64_t length = sounds[static_cast<std::size_t>(indexOf(last->track))].frames;
        tailFrames_ = std::max<std::int64_t>(length - played, 0);
    }
}

// The last step of a pass with a hit, and the track that wins it: the last
// to play cuts the others.
std::optional<LoopedBeat::Hit> LoopedBeat::lastHitOfAPass() const {
    const BeatModel& beat = model_;
    for (int step = kSteps; step >= 1; --step) {
        for (auto track = kTracksInPlayOrder.rbegin(); track != kTracksInPlayOrder.rend(); ++track)
            if (beat.sounds(*track) && beat.cellIsOn(*track, step)) return Hit{step, *track};
    }
    return std::nullopt;
}

std::int64_t LoopedBeat::gridFrame(std::uint64_t tick) const {
    return StepSequencer::gridFrame(static_cast<std::int64_t>(tick), interval_, sampleRate_);
}

void LoopedBeat::playLoops(const Sink& sink) {
    playUntilTick(kFirstSteadyTick, [](const float*, int) {});
    // Steps fall on rounded frames, so the first pass can leave its last
    // hit a frame further on or back than the last pass will: the sound
    // ringing in is set to where the last pass leaves it.
    if (const std::optional<Hit> last = lastHitOfAPass()) {
        const std::uint64_t endTick = kFirstSteadyTick + kSteps * loops_;
        const std::uint64_t lastHitTick = endTick - kSteps + static_cast<unsigned>(last->step) - 1;
        mixer_.continueVoice(last->track, gridFrame(endTick) - gridFrame(lastHitTick));
    }
    playUntilTick(kFirstSteadyTick + kSteps * loops_, sink);
}

void LoopedBeat::playUntilTick(std::uint64_t tick, const Sink& sink) {
    for (;;) {
        const StepFeedback told = link_.feedback.read();
        if (told.nextTickFrame < 0 || told.ticks >= tick)
            throw std::logic_error("the beat is not playing towards that tick");
        const bool nextIsIt = told.ticks + 1 == tick;
        if (nextIsIt && told.framesWalked == told.nextTickFrame) return;
        const std::int64_t until = nextIsIt ? told.nextTickFrame : told.tickAfterFrame;
        play(static_cast<int>(std::min<std::int64_t>(kBlockFrames, until - told.framesWalked)),
             sink);
    }
}

void LoopedBeat::ringOut(const Sink& sink) {
    const std::uint64_t ticks = link_.feedback.read().ticks;
    model_.Command2_Click();
    // The step clock sees the stop at the start of the next block, before
    // any tick of it. A streamed sample cut short ends in silence.
    for (std::int64_t left = tailFrames_; left > 0;) {
        const int frames = static_cast<int>(std::min<std::int64_t>(kBlockFrames, left));
        play(frames, sink);
        left -= frames;
    }
    const std::int64_t rest = mixer_.voiceFramesLeft();
    if (link_.feedback.read().ticks != ticks || (rest != 0 && rest != Sample::kEndUnknown))
        throw std::logic_error("the beat went on after Stop");
}

void LoopedBeat::play(int frames, const Sink& sink) {
    if (feed_) feed_();
    mixer_.render(block_.data(), frames, steadyNanoseconds());
    sink(block_.data(), frames);
}

}  // namespace trovik::render
