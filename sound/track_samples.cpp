// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/track_samples.h"

#include <algorithm>

namespace trovik {
TrackSamples::TrackSamples(TrackSlots& slots, const SequencerLink& link, const DrumKit& drumKit,
                           int outputRate, std::chrono::milliseconds idleLook)
    : slots_(slots), link_(link), drumKit_(drumKit), cache_(outputRate), idleLook_(idleLook) {}

TrackSamples::~TrackSamples() {
    worker_.stop();
}

void TrackSamples::start() {
    worker_.start([this] { run(); });
}

void TrackSamples::setEffectPath(const std::string& path) {
    {
        const std::lock_guard lock(worker_.mutex());
        effectPath_ = path;
    }
    lookSoon();
}

void TrackSamples::lookSoon() {
    {
        const std::lock_guard lock(worker_.mutex());
        lookAsked_ = true;
    }
    worker_.wake();
}

void TrackSamples::lookNow() {
    std::string effectPath;
    {
        const std::lock_guard lock(worker_.mutex());
        effectPath = effectPath_;
        lookAsked_ = false;
    }
    while (const Sample* back = slots_.takeReleased()) takeBack(back);
    cache_.collectDecoded();
    offer(Track::Bass, drumKit_.resolve(kBassSampleName));
    offer(Track::Snare, drumKit_.resolve(kSnareSampleName));
    offer(Track::Effect, effectPath);
    looks_.fetch_add(1, std::memory_order_release);
}

void TrackSamples::run() {
    for (;;) {
        const auto wakeAt = std::chrono::steady_clock::now() + untilNextLook();
        {
            std::unique_lock lock(worker_.mutex());
            if (worker_.waitUntil(lock, wakeAt, [this] { return lookAsked_; })) return;
        }
        lookNow();
    }
}

// Wakes shortly before each step; a look made that close to a step covers
// it, and the next wake aims at the step after it.
std::chrono::nanoseconds TrackSamples::untilNextLook() const {
    using std::chrono::nanoseconds;
    const StepFeedback told = link_.feedback.read();
    if (told.nextTickFrame < 0 || told.sampleRate <= 0 || told.walkedAtNanoseconds == 0)
        return idleLook_;
    // When the audio thread renders a frame, at the earliest.
    const std::int64_t now = steadyNanoseconds();
    const auto untilRendered = [&](std::int64_t frame) {
        return nanoseconds(told.walkedAtNanoseconds +
                           (frame - told.framesWalked) * 1'000'000'000 / told.sampleRate - now);
    };
    const nanoseconds untilNext = untilRendered(told.nextTickFrame);
    const nanoseconds block(std::int64_t{told.blockFrames} * 1'000'000'000 / told.sampleRate);
    // A stream that stands still (a server that hangs, before the keeper
    // gives it up) is not worth a look every millisecond.
    if (untilNext + block < nanoseconds(0)) return kStalledLook;
    const nanoseconds wait = untilNext > kLookAhead
                                 ? untilNext - kLookAhead
                                 : untilRendered(told.tickAfterFrame) - kLookAhead;
    return std::clamp<nanoseconds>(wait, std::chrono::milliseconds(1), idleLook_);
}

void TrackSamples::offer(Track track, const std::string& path) {
    const Sample* found = cache_.get(path);
    const Sample& sample = found != nullptr ? *found : TrackSlots::silence();
    const Sample*& offered = offered_[static_cast<std::size_t>(indexOf(track))];
    if (&sample == offered) return;
    if (&sample != &TrackSlots::silence()) cache_.lend(&sample);
    offered = &sample;
    if (const Sample* untaken = slots_.offer(track, sample)) takeBack(untaken);
}

void TrackSamples::takeBack(const Sample* sample) {
    if (sample != &TrackSlots::silence()) cache_.giveBack(sample);
}

}  // namespace trovik
