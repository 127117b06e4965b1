// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "sound/sample.h"
#include "sound/wav_decoder.h"

namespace trovik {

// Fills a Sample from its decoding, a bounded piece at a time: first the
// part held in memory, then, for a streamed sample, the ring ahead of where
// it plays. Once the ring has moved on past the frames that follow the head
// and the sample starts again, the decoding goes back to the end of the head
// and refills the ring, once, while the head plays; a start while the ring
// still follows the head costs nothing. Used from one thread at a time.
class SampleFiller {
  public:
    SampleFiller(std::unique_ptr<WavDecoding> decoding, Sample& sample);

    // Decodes up to `frames` more frames where they are needed. False when
    // there was nothing to do.
    bool step(int frames);
    // The part in memory is complete (for a sample held whole, all of it).
    bool headDone() const { return headDone_; }
    // Nothing more is ever needed: the sample is complete.
    bool finished() const { return finished_; }
    // Ends the sound where the decoding stands (after a failure).
    void abandon();
    const Sample& sample() const { return sample_; }

  private:
    bool fillHead(int frames);
    bool fillRing(int frames);
    bool playerLeftTheRingBehind() const;

    std::unique_ptr<WavDecoding> decoding_;
    Sample& sample_;
    int headWritten_ = 0;
    bool headDone_ = false;
    bool finished_ = false;
};

}  // namespace trovik
