// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "lockfree/seq_lock.h"
#include "lockfree/triple_buffer.h"
#include "sequencer/beat_snapshot.h"
#include "sequencer/steady_time.h"

namespace trovik {

// What the step clock tells of itself after every block of frames it walked.
struct StepFeedback {
    std::int64_t framesWalked = 0;         // the grid's frames walked so far
    std::int64_t nextTickFrame = -1;       // the frame of the next step; -1 while stopped
    std::int64_t tickAfterFrame = -1;      // and of the one after it
    std::int64_t walkedAtNanoseconds = 0;  // steady clock, when the last block was walked; 0 never
    std::uint64_t ticks = 0;               // steps played so far
    std::uint32_t positionGeneration = 0;  // the last position set from outside that it took
    std::int32_t sampleRate = 0;
    std::int32_t blockFrames = 0;  // the length of the last block
    std::int16_t position = 1;     // the step the next tick plays
};

// Where the beat model and the step clock meet: the model writes snapshots,
// the step clock reads the newest at the start of every block and tells how
// far it got. Neither side ever waits for the other.
struct SequencerLink {
    TripleBuffer<BeatSnapshot> snapshots;
    SeqLock<StepFeedback> feedback;
};

}  // namespace trovik
