// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "sound/drum_kit.h"
#include "sound/sample_cache.h"
#include "sound/track_slots.h"
#include "sound/worker_thread.h"

namespace trovik {

// Keeps every track's slot holding what its file holds now, so that a hit
// plays the file as it is: a file rewritten in place sounds new within
// kLookPeriod. On a thread of its own it looks at the three files every
// kLookPeriod (a stat() each when nothing changed), whether the beat plays
// or not, decodes what changed and hands it to the audio thread, and takes
// back the samples the audio thread let go of. Looking at a bounded rate
// rather than before every step keeps its wake-ups few at any tempo. A file
// that is slow to decode delays nothing but its own track: the slot keeps
// the sound it had until the new one is there.
class TrackSamples {
  public:
    // Short enough that a musician who saves a sample hears it at once.
    static constexpr std::chrono::milliseconds kLookPeriod{400};

    TrackSamples(TrackSlots& slots, const DrumKit& drumKit, int outputRate,
                 std::chrono::milliseconds lookPeriod = kLookPeriod);
    ~TrackSamples();  // stops the thread; samples still lent are freed with the cache
    TrackSamples(const TrackSamples&) = delete;
    TrackSamples& operator=(const TrackSamples&) = delete;

    void start();
    // Stops the thread: it touches the slots no more after this.
    void stop() { worker_.stop(); }

    // The effect track's file, by the bytes the file system knows it by;
    // empty for none. Any thread; looked at at once.
    void setEffectPath(const std::string& path);

    // Wakes the thread for a look at once: Play, so that the first step
    // plays what the files hold now, not what they held at the last idle
    // look. Any thread.
    void lookSoon();

    // One look at the files, for the thread that owns this (before start(),
    // which sleeps until the next look is due).
    void lookNow();
    // How many looks were made. Any thread.
    std::uint64_t looks() const { return looks_.load(std::memory_order_acquire); }

  private:
    void run();
    void offer(Track track, const std::string& path);
    void takeBack(const Sample* sample);

    TrackSlots& slots_;
    const DrumKit& drumKit_;
    SampleCache cache_;
    std::array<const Sample*, kTrackCount> offered_{};

    std::chrono::milliseconds lookPeriod_;
    std::atomic<std::uint64_t> looks_{0};
    std::string effectPath_;  // and the flag, under worker_.mutex()
    bool lookAsked_ = false;
    WorkerThread worker_;
};

}  // namespace trovik
