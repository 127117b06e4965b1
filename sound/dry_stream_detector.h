// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <utility>

#include "sequencer/steady_time.h"

namespace trovik {

// Tells from the times of the audio callbacks alone when the stream ran
// dry, and for how long. A stream that ran dry plays on from where it
// stopped, so from then on the server asks for every frame later by as long
// as the gap lasted. The detector follows the stream's lateness: the time
// of a callback less the time the frames before it take to play. Jitter
// only adds to it, so the lowest lateness of every quarter second (and
// kCallbacksInWindow callbacks) is the stream's schedule. That schedule may
// creep as fast as a card's clock is off the steady clock, up to
// kMostDriftPerMillion, which the detector learns in the first kLearning
// of its judging and follows from then on. A step of the schedule beyond
// kShift that lasts kPersistence on the steady clock is a dry run. A late
// spell that comes back, or a server that asks for many buffers at once
// (early, then on time again), lasts less.
//
// Times are kept from the stream's first callback, and frames are turned
// into time in two parts, so nothing overflows in any length of play.
// Plain arithmetic: safe on the audio thread.
class DryStreamDetector {
  public:
    static constexpr std::int64_t kSecond = kNanosecondsPerSecond;
    static constexpr std::int64_t kWindow = kSecond / 4;
    static constexpr int kCallbacksInWindow = 8;
    static constexpr std::int64_t kPersistence = kSecond;
    static constexpr std::int64_t kShift = 1'000'000;
    static constexpr std::int64_t kMostDriftPerMillion = 10'000;
    static constexpr std::int64_t kStartStall = 20'000'000;
    static constexpr std::int64_t kLearning = kSecond;

    explicit DryStreamDetector(int sampleRate) : sampleRate_(sampleRate) {}

    // How much earlier than the frames it asks for are heard the callbacks
    // come, beyond the sound server's own latency: the buffers asked for
    // ahead as the stream started (its schedule settles that much earlier
    // than its first callback's pace), and every lasting shift earlier since.
    std::int64_t heldAhead() const { return heldAhead_; }
    // How long the stream stood still in its first second (a sink waking),
    // beyond kStartStall, since the last time this was asked; then the
    // stream is judged from its pace after that.
    std::int64_t takeStartStall() { return std::exchange(startStall_, 0); }

    // A new stream: it may stand still for seconds while the server wakes
    // its sink, so only a stream that has played a second is judged.
    void restart() { *this = DryStreamDetector(sampleRate_); }

    // A callback at `nowNanoseconds` asking for `frames` frames. The
    // nanoseconds the stream is found to have run dry, once, when the shift
    // has lasted; 0 otherwise.
    std::int64_t callback(std::int64_t nowNanoseconds, int frames) {
        if (framesPlayed_ == 0) startedAt_ = nowNanoseconds;
        const std::int64_t played = framesPlayed_;
        framesPlayed_ += frames;
        const std::int64_t at = nowNanoseconds - startedAt_;
        if (played < sampleRate_) {
            const std::int64_t stall = at - nanosecondsOf(played);
            if (stall > kStartStall) {
                startStall_ += stall;
                startedAt_ += stall;
            }
            return 0;
        }
        if (windowLowest_ == kNone) windowStart_ = at;
        windowLowest_ = std::min(windowLowest_, at - nanosecondsOf(played));
        if (++windowCallbacks_ < kCallbacksInWindow || at - windowStart_ < kWindow) return 0;
        const std::int64_t level = windowLowest_;
        windowLowest_ = kNone;
        windowCallbacks_ = 0;
        return judge(level, at);
    }

  private:
    static constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::max();

    std::int64_t nanosecondsOf(std::int64_t frames) const {
        return nanosecondsIn(frames, sampleRate_);
    }
    static constexpr std::int64_t kMillion = 1'000'000;

    static std::int64_t driftIn(std::int64_t nanoseconds, std::int64_t perMillion) {
        return nanoseconds / kMillion * perMillion + nanoseconds % kMillion * perMillion / kMillion;
    }

    // One window's lowest lateness against the schedule followed so far; a
    // shift lasts from the start of the first window that showed it.
    std::int64_t judge(std::int64_t level, std::int64_t at) {
        if (baselineAt_ == kNone) {
            heldAhead_ = std::max<std::int64_t>(-level, 0);
            learnUntil_ = at + kLearning;
            follow(level, at);
            return 0;
        }
        const std::int64_t expected = baseline_ + driftIn(at - baselineAt_, driftPerMillion_);
        const std::int64_t shift = level - expected;
        // At first the card's drift is learned whole from each window.
        if (at <= learnUntil_ &&
            std::abs(shift) <= kShift + driftIn(at - baselineAt_, kMostDriftPerMillion)) {
            learnDrift(shift * kMillion / (at - baselineAt_));
            follow(level, at);
            return 0;
        }
        if (shift > kShift) {
            earlySince_ = kNone;
            return lateFor(shift, expected, at);
        }
        if (shift < -kShift) {
            lateSince_ = kNone;
            earlyFor(shift, expected, at);
            return 0;
        }
        lateSince_ = earlySince_ = kNone;
        learnDrift(shift * kMillion / (at - baselineAt_) / 4);
        follow(level, at);
        return 0;
    }

    void learnDrift(std::int64_t perMillion) {
        driftPerMillion_ =
            std::clamp(driftPerMillion_ + perMillion, -kMostDriftPerMillion, kMostDriftPerMillion);
    }

    // Later than the schedule: a dry run once it has lasted, by the least
    // shift seen meanwhile.
    std::int64_t lateFor(std::int64_t shift, std::int64_t expected, std::int64_t at) {
        if (lateSince_ == kNone) {
            lateSince_ = windowStart_;
            lateLeast_ = shift;
        }
        lateLeast_ = std::min(lateLeast_, shift);
        if (at - lateSince_ < kPersistence) return 0;
        lateSince_ = kNone;
        const std::int64_t gap = lateLeast_;
        follow(expected + gap, at);
        return gap;
    }

    // Earlier than the schedule: a server that now keeps more ahead, taken
    // as the new schedule once it has lasted.
    void earlyFor(std::int64_t shift, std::int64_t expected, std::int64_t at) {
        if (earlySince_ == kNone) {
            earlySince_ = windowStart_;
            earlyMost_ = shift;
        }
        earlyMost_ = std::max(earlyMost_, shift);
        if (at - earlySince_ < kPersistence) return;
        heldAhead_ -= earlyMost_;
        follow(expected + earlyMost_, at);
        earlySince_ = kNone;
    }

    void follow(std::int64_t level, std::int64_t at) {
        baseline_ = level;
        baselineAt_ = at;
    }

    int sampleRate_;
    std::int64_t startedAt_ = 0;
    std::int64_t startStall_ = 0;
    std::int64_t heldAhead_ = 0;
    std::int64_t framesPlayed_ = 0;
    std::int64_t windowStart_ = 0;
    std::int64_t windowLowest_ = kNone;
    int windowCallbacks_ = 0;
    std::int64_t baseline_ = 0;
    std::int64_t baselineAt_ = kNone;
    std::int64_t learnUntil_ = 0;
    std::int64_t driftPerMillion_ = 0;
    std::int64_t lateSince_ = kNone;
    std::int64_t lateLeast_ = 0;
    std::int64_t earlySince_ = kNone;
    std::int64_t earlyMost_ = 0;
};

}  // namespace trovik
