// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/sample_filler.h"

#include <algorithm>

namespace trovik {

SampleFiller::SampleFiller(std::unique_ptr<WavDecoding> decoding, Sample& sample)
    : decoding_(std::move(decoding)), sample_(sample) {}

bool SampleFiller::step(int frames) {
    if (finished_) return false;
    return headDone_ ? fillRing(frames) : fillHead(frames);
}

bool SampleFiller::fillHead(int frames) {
    const int wanted = std::min(frames, sample_.capacity() - headWritten_);
    headWritten_ += decoding_->read(sample_.frameForWriting(headWritten_), wanted);
    if (decoding_->ended() || (!sample_.isStreamed() && headWritten_ == sample_.capacity())) {
        abandon();
    } else {
        sample_.publish(headWritten_);
        headDone_ = headWritten_ == sample_.capacity();
        // A stream that cannot go back to the end of its head would sound
        // whole only once: every start sounds the same, its head.
        if (headDone_ && !decoding_->canSeek()) abandon();
    }
    return true;
}

bool SampleFiller::fillRing(int frames) {
    if (playerLeftTheRingBehind()) {
        sample_.restartStream();
        if (!decoding_->seek(sample_.capacity())) sample_.endStream(sample_.capacity());
        return true;
    }
    std::int64_t end = sample_.streamedUntil();
    if (decoding_->ended()) return false;
    const int wanted =
        static_cast<int>(std::min<std::int64_t>(frames, sample_.streamLimit() - end));
    if (wanted <= 0) return false;
    int got = 0;
    while (got < wanted && !decoding_->ended()) {
        // Up to the ring's wrap at a time.
        const std::int64_t at = end + got;
        const int untilWrap =
            sample_.ringCapacity() - static_cast<int>(at % sample_.ringCapacity());
        got += decoding_->read(sample_.ringFrameForWriting(at), std::min(wanted - got, untilWrap));
    }
    end += got;
    if (decoding_->ended()) sample_.endStream(end);
    sample_.publishStream(end);
    return true;
}

// The player started again (in the head) after the ring had moved on past
// the frames that follow the head. While the ring still holds those, a
// start in the head finds it ready and nothing needs doing.
bool SampleFiller::playerLeftTheRingBehind() const {
    const std::int64_t ringStart = sample_.streamedFrom();
    return ringStart > sample_.capacity() && sample_.playPosition() < ringStart;
}

void SampleFiller::abandon() {
    if (!headDone_) {
        sample_.complete(headWritten_);
        headDone_ = finished_ = true;
    } else {
        sample_.endStream(sample_.streamedUntil());
        finished_ = true;
    }
}

}  // namespace trovik
