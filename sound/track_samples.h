// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "sequencer/sequencer_link.h"
#include "sound/drum_kit.h"
#include "sound/sample_cache.h"
#include "sound/track_slots.h"
#include "sound/worker_thread.h"

namespace trovik {

// Keeps every track's slot holding what its file holds now, so that a hit
// plays the file as it is at that step: a file rewritten in place sounds
// new from the next step on. On a thread of its own it looks at the three
// files shortly before each step (a stat() when nothing changed), decodes
// what changed and hands it to the audio thread, and takes back the samples
// the audio thread let go of. A file that is slow to decode delays nothing
// but its own track: the slot keeps the sound it had until the new one is there.
class TrackSamples {
  public:
    // How long before a step its files are looked at, beyond the block the
    // audio thread renders ahead.
    static constexpr std::chrono::milliseconds kLookAhead{15};
    // While nothing steps, the files are still looked at now and then, and
    // released samples taken back.
    static constexpr std::chrono::milliseconds kIdleLook{500};
    static constexpr std::chrono::milliseconds kStalledLook{50};

    TrackSamples(TrackSlots& slots, const SequencerLink& link, const DrumKit& drumKit,
                 int outputRate, std::chrono::milliseconds idleLook = kIdleLook);
    ~TrackSamples();  // stops the thread; samples still lent are freed with the cache
    TrackSamples(const TrackSamples&) = delete;
    TrackSamples& operator=(const TrackSamples&) = delete;

    void start();
    // Stops the thread: nothing reads the link after this.
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
    std::chrono::nanoseconds untilNextLook() const;
    void offer(Track track, const std::string& path);
    void takeBack(const Sample* sample);

    TrackSlots& slots_;
    const SequencerLink& link_;
    const DrumKit& drumKit_;
    SampleCache cache_;
    std::array<const Sample*, kTrackCount> offered_{};

    std::chrono::milliseconds idleLook_;
    std::atomic<std::uint64_t> looks_{0};
    std::string effectPath_;  // and the flag, under worker_.mutex()
    bool lookAsked_ = false;
    WorkerThread worker_;
};

}  // namespace trovik
