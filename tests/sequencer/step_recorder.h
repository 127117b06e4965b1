// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <utility>
#include <vector>

#include "sequencer/step_sequencer.h"

namespace trovik {

struct Hit {
    Track track;
    std::int64_t frame;  // of the stream, counted from the first frame walked

    bool operator==(const Hit&) const = default;
};

inline void PrintTo(const Hit& hit, std::ostream* out) {
    static constexpr const char* kNames[] = {"bass", "snare", "effect"};
    *out << kNames[indexOf(hit.track)] << "@" << hit.frame;
}

// Tick n (1 = the first) of a grid that starts at frame `start` falls on
// the frame nearest to n intervals later, a half frame rounding up. For the
// tests that place hits on the grid; the step clock's own test checks its
// rounding against frames worked out by hand.
inline std::int64_t tickFrame(std::int64_t n, int intervalMs, int rate, std::int64_t start = 0) {
    return start + std::llround(static_cast<double>(n) * intervalMs * rate / 1000.0);
}

// Walks a step clock block by block as the audio thread does and keeps
// every hit with its frame in the stream.
class StepRecorder : public StepSounds {
  public:
    StepRecorder(SequencerLink& link, int sampleRate)
        : link_(link), clock_(link, sampleRate), rate_(sampleRate) {}

    void walk(int frames) {
        blockStart_ = clock_.framesWalked();
        blockFrames_ = frames;
        clock_.walk(frames, *this, steadyNanoseconds());
    }

    void walkBlocks(int count, int frames) {
        for (int i = 0; i < count; ++i) walk(frames);
    }

    // Walks blocks of the given sizes, in turn, until `ticks` steps were
    // played, or fails once it has walked a second for every step still due
    // (longer than the longest interval) and the clock has not played them.
    void walkUntilTicks(std::uint64_t ticks, const std::vector<int>& blockSizes) {
        const std::int64_t limit =
            framesWalked() +
            static_cast<std::int64_t>(ticks - std::min(ticks, ticksPlayed()) + 1) * rate_;
        for (std::size_t i = 0; ticksPlayed() < ticks; i = (i + 1) % blockSizes.size()) {
            if (framesWalked() > limit) {
                ADD_FAILURE() << "the step clock played " << ticksPlayed() << " of " << ticks
                              << " steps";
                return;
            }
            walk(blockSizes[i]);
        }
    }
    // Walks blocks until the step clock stands at `position`, or fails after
    // a whole turn of the longest interval.
    void walkUntilPosition(int position, int frames) {
        const std::int64_t limit = framesWalked() + std::int64_t{kSteps + 1} * rate_;
        while (told().position != position) {
            if (framesWalked() > limit) {
                ADD_FAILURE() << "the step clock never stood at step " << position;
                return;
            }
            walk(frames);
        }
    }

    void PlaySample(Track track, int frameOffset) override {
        if (frameOffset < 0 || frameOffset >= blockFrames_)
            ADD_FAILURE() << "offset " << frameOffset << " outside a block of " << blockFrames_;
        hits_.push_back({track, blockStart_ + frameOffset});
    }

    StepSequencer& clock() { return clock_; }
    StepFeedback told() const { return link_.feedback.read(); }
    std::uint64_t ticksPlayed() const { return told().ticks; }
    std::int64_t framesWalked() const { return clock_.framesWalked(); }
    const std::vector<Hit>& hits() const { return hits_; }
    std::vector<Hit> takeHits() { return std::exchange(hits_, {}); }

  private:
    SequencerLink& link_;
    StepSequencer clock_;
    int rate_;
    std::vector<Hit> hits_;
    std::int64_t blockStart_ = 0;
    int blockFrames_ = 0;
};

}  // namespace trovik
