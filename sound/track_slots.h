// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>

#include "lockfree/spsc_queue.h"
#include "sequencer/track.h"
#include "sound/sample.h"

namespace trovik {

// Where the thread that watches the sample files hands each track's sound
// to the audio thread, and gets back what the audio thread let go of.
//
// Every sample offered is a loan. It comes back exactly once: from offer()
// when the audio thread never took it before the next offer, or from
// takeReleased() once the audio thread has replaced it and no voice plays
// it any more. So the audio thread never frees a sample.
class TrackSlots {
  public:
    // The sound of a track that has nothing to play: an empty path, a
    // missing or unplayable file. A hit on it still cuts the sound playing.
    static const Sample& silence();

    // Owner side. Returns the sample offered before, if the audio thread
    // never took it.
    const Sample* offer(Track track, const Sample& sample) {
        return slot(track).exchange(&sample, std::memory_order_acq_rel);
    }
    const Sample* takeReleased() {
        const auto sample = released_.pop();
        return sample ? *sample : nullptr;
    }

    // Audio side. The sample offered since the last take, if any.
    const Sample* take(Track track) {
        return slot(track).exchange(nullptr, std::memory_order_acq_rel);
    }
    // A loan the audio thread lets go of. The queue never fills while the
    // owner takes back everything released before each round of offers (see
    // kMostReleasedBetweenTakes); a loan it has no room for is counted, never
    // silently lost.
    void release(const Sample* sample) {
        if (!released_.push(sample)) dropped_.fetch_add(1, std::memory_order_relaxed);
    }
    // Loans the release queue had no room for; each is a sample never freed.
    int droppedReleases() const { return dropped_.load(std::memory_order_relaxed); }

    // Between two takes of everything released, the audio thread lets go of
    // at most what it held at the first (one taken per track, and one more
    // its voice plays on) and what it takes meanwhile (at most one per track,
    // as each track is offered once a round).
    static constexpr int kMostReleasedBetweenTakes = 2 * kTrackCount + 1;

  private:
    std::atomic<const Sample*>& slot(Track track) {
        return offered_[static_cast<std::size_t>(indexOf(track))];
    }

    std::array<std::atomic<const Sample*>, kTrackCount> offered_{};
    SpscQueue<const Sample*, 16> released_;
    static_assert(decltype(released_)::kCapacity >= std::size_t{kMostReleasedBetweenTakes});
    std::atomic<int> dropped_{0};
};

}  // namespace trovik
