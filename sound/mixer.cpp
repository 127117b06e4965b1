#include "mixer.h"

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

const Sample* Mixer::takeReleased() {
    const auto sample = released_.pop();
    return sample ? *sample : nullptr;
}

void Mixer::render(float* out, int frames) {
    const std::int64_t bufferStart = framesRendered_.load(std::memory_order_relaxed);
    int done = 0;
    while (done < frames) {
        applyDueCommands(bufferStart + done);
        int until = frames;
        if (const Command* next = commands_.peek()) {
            until = static_cast<int>(std::min<std::int64_t>(frames, next->atFrame - bufferStart));
        }
        float* rest = out + static_cast<std::ptrdiff_t>(done) * Sample::kChannels;
        done += renderVoice(rest, until - done);
    }
    framesRendered_.store(bufferStart + frames, std::memory_order_release);
}

void Mixer::applyDueCommands(std::int64_t now) {
    while (const Command* next = commands_.peek()) {
        if (next->atFrame > now) return;
        apply(*next);
        commands_.dropFront();
    }
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

int Mixer::renderVoice(float* out, int frames) {
    int playing = 0;
    if (voice_ != nullptr) {
        // A sample still being decoded that has run dry waits, silent.
        const Sample::Read read = voice_->read(voicePosition_, out, frames);
        playing = read.frames;
        voicePosition_ += playing;
        if (read.ended) releaseVoice();
    }
    std::fill_n(out + static_cast<std::ptrdiff_t>(playing) * Sample::kChannels,
                (frames - playing) * Sample::kChannels, 0.0f);
    return frames;
}

}  // namespace trovik
