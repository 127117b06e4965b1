// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/track_samples.h"

namespace trovik {
TrackSamples::TrackSamples(TrackSlots& slots, const DrumKit& drumKit, int outputRate,
                           std::chrono::milliseconds lookPeriod)
    : slots_(slots), drumKit_(drumKit), cache_(outputRate), lookPeriod_(lookPeriod) {}

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
        const auto wakeAt = std::chrono::steady_clock::now() + lookPeriod_;
        {
            std::unique_lock lock(worker_.mutex());
            if (worker_.waitUntil(lock, wakeAt, [this] { return lookAsked_; })) return;
        }
        lookNow();
    }
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
