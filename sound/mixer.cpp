#include "sound/mixer.h"

#include <algorithm>
#include <cstddef>

namespace trovik {

bool Mixer::post(const Command& command) {
    return commands_.push(command);
}

bool Mixer::postStop(std::int64_t atFrame) {
    return post({Command::Kind::Stop, nullptr, atFrame});
}

bool Mixer::postStart(const Sample& sample, std::int64_t atFrame) {
    return post({Command::Kind::Start, &sample, atFrame});
}

bool Mixer::postDropFrom(std::int64_t frame) {
    return post({Command::Kind::DropFrom, nullptr, frame});
}

const Sample* Mixer::takeReleased() {
    const auto sample = released_.pop();
    return sample ? *sample : nullptr;
}

void Mixer::render(float* out, int frames) {
    const std::int64_t bufferStart = framesRendered_.load(std::memory_order_relaxed);
    int done = 0;
    while (done < frames) {
        // One look at the queue per step: whatever arrives later waits for
        // the next step, so the span below can never turn negative.
        takeNewCommands();
        applyDue(bufferStart + done);
        int until = frames;
        if (waitingCount_ > 0) {
            // Everything due at or before this frame was applied above.
            until =
                static_cast<int>(std::min<std::int64_t>(frames, waiting_[0].atFrame - bufferStart));
        }
        renderVoice(out + static_cast<std::ptrdiff_t>(done) * Sample::kChannels, until - done);
        done = until;
    }
    framesRendered_.store(bufferStart + frames, std::memory_order_release);
}

void Mixer::discardPending() {
    // Two rounds empty a full queue behind a full list; whatever the producer
    // posts meanwhile waits for the next call.
    for (int round = 0; round < 2; ++round) {
        takeNewCommands();
        for (std::size_t i = 0; i < waitingCount_; ++i) {
            if (waiting_[i].kind == Command::Kind::Start) released_.push(waiting_[i].sample);
        }
        waitingCount_ = 0;
    }
    releaseVoice();
}

// Moves what the queue holds into the sorted list. An insertion keeps
// commands of equal frames in the order they were posted.
void Mixer::takeNewCommands() {
    while (waitingCount_ < waiting_.size()) {
        const Command* next = commands_.peek();
        if (next == nullptr) return;
        if (next->kind == Command::Kind::DropFrom) {
            dropWaitingFrom(next->atFrame);
            commands_.dropFront();
            continue;
        }
        std::size_t at = waitingCount_;
        while (at > 0 && waiting_[at - 1].atFrame > next->atFrame) {
            waiting_[at] = waiting_[at - 1];
            --at;
        }
        waiting_[at] = *next;
        ++waitingCount_;
        commands_.dropFront();
    }
}

void Mixer::dropWaitingFrom(std::int64_t frame) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < waitingCount_; ++i) {
        if (waiting_[i].atFrame < frame) {
            waiting_[kept++] = waiting_[i];
        } else if (waiting_[i].kind == Command::Kind::Start) {
            released_.push(waiting_[i].sample);
        }
    }
    waitingCount_ = kept;
}

void Mixer::applyDue(std::int64_t now) {
    std::size_t applied = 0;
    while (applied < waitingCount_ && waiting_[applied].atFrame <= now) {
        const Command& command = waiting_[applied];
        if (command.atFrame != kAsSoonAsPossible && command.atFrame < now) {
            lateCommands_.fetch_add(1, std::memory_order_relaxed);
        }
        apply(command);
        ++applied;
    }
    if (applied == 0) return;
    std::copy(waiting_.begin() + static_cast<std::ptrdiff_t>(applied),
              waiting_.begin() + static_cast<std::ptrdiff_t>(waitingCount_), waiting_.begin());
    waitingCount_ -= applied;
}

void Mixer::apply(const Command& command) {
    releaseVoice();
    if (command.kind == Command::Kind::Start) {
        voice_ = command.sample;
        voicePosition_ = 0;
    }
}

void Mixer::releaseVoice() {
    if (voice_ == nullptr) return;
    // The queue has room for every borrowed sample, so this cannot fail.
    released_.push(voice_);
    voice_ = nullptr;
}

void Mixer::renderVoice(float* out, int frames) {
    const int playing = voice_ != nullptr ? copyVoiceFrames(out, frames) : 0;
    std::fill_n(out + static_cast<std::ptrdiff_t>(playing) * Sample::kChannels,
                (frames - playing) * Sample::kChannels, 0.0f);
}

// The one place that reads the voice's sample: copies up to `frames` frames
// from where the voice stands and returns how many it copied. A sample still
// being decoded, or streamed, that has run dry waits, silent.
int Mixer::copyVoiceFrames(float* out, int frames) {
    const Sample::Read read = voice_->read(voicePosition_, out, frames);
    voicePosition_ += read.frames;
    if (read.ended) releaseVoice();
    return read.frames;
}

}  // namespace trovik
