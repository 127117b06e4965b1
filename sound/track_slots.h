// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>

#include "sequencer/track.h"
#include "sound/sample.h"
#include "lockfree/spsc_queue.h"

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
    // Room for every loan that can be out at once: one waiting and one taken
    // per track, and one more playing on after its track took another.
    void release(const Sample* sample) { released_.push(sample); }

  private:
    std::atomic<const Sample*>& slot(Track track) {
        return offered_[static_cast<std::size_t>(indexOf(track))];
    }

    std::array<std::atomic<const Sample*>, kTrackCount> offered_{};
    SpscQueue<const Sample*, 16> released_;
};

}  // namespace trovik
