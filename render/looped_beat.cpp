// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/looped_beat.h"

#include <algorithm>
#include <stdexcept>

namespace trovik::render {
namespace {

constexpr int kBlockFrames = 8192;

}  // namespace

LoopedBeat::LoopedBeat(const BeatToRender& beat, const std::array<bool, kTrackCount>& muted,
                       const std::array<const Sample*, kTrackCount>& samples, int sampleRate)
    : mixer_(link_, slots_, sampleRate),
      block_(static_cast<std::size_t>(kBlockFrames) * Sample::kChannels) {
    for (Track track : kTracksInPlayOrder) {
        slots_.offer(track, *samples[static_cast<std::size_t>(indexOf(track))]);
        if (muted[static_cast<std::size_t>(indexOf(track))]) model_.TrackSwitch_Click(track);
    }
    model_.rewind();
    model_.load(beat.interval, beat.captions);
    // An empty first block: the step clock takes the beat and its grid
    // starts here, on frame 0.
    mixer_.render(block_.data(), 0, steadyNanoseconds());
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
    // any tick of it.
    std::int64_t left = mixer_.voiceFramesLeft();
    if (left == Sample::kEndUnknown) throw std::logic_error("a sample whose end is unknown");
    while (left > 0) {
        const int frames = static_cast<int>(std::min<std::int64_t>(kBlockFrames, left));
        play(frames, sink);
        left -= frames;
    }
    if (link_.feedback.read().ticks != ticks || mixer_.voiceFramesLeft() != 0)
        throw std::logic_error("the beat went on after Stop");
}

void LoopedBeat::play(int frames, const Sink& sink) {
    mixer_.render(block_.data(), frames, steadyNanoseconds());
    sink(block_.data(), frames);
}

}  // namespace trovik::render
