#include "background_decoder.h"

namespace trovik {

BackgroundDecoder::BackgroundDecoder() : worker_([this] { run(); }) {}

BackgroundDecoder::~BackgroundDecoder() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

void BackgroundDecoder::finish(std::unique_ptr<WavDecoding> decoding) {
    {
        const std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(decoding));
    }
    wake_.notify_one();
}

const Sample* BackgroundDecoder::takeFinished() {
    const std::lock_guard lock(mutex_);
    if (finished_.empty()) return nullptr;
    const Sample* sample = finished_.back();
    finished_.pop_back();
    return sample;
}

void BackgroundDecoder::run() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (stopping_) return;
        std::unique_ptr<WavDecoding> decoding = std::move(waiting_.front());
        waiting_.pop_front();
        lock.unlock();
        bool done = false;
        while (!done) {
            done = decoding->decodeMore(kChunkFrames);
            if (!done) {
                const std::lock_guard check(mutex_);
                if (stopping_) return;
            }
        }
        const Sample* sample = &decoding->sample();
        decoding.reset();
        lock.lock();
        finished_.push_back(sample);
    }
}

}  // namespace trovik
