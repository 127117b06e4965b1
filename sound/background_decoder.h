#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "wav_decoder.h"

namespace trovik {

// Finishes decodings on a thread of its own, so that a long file starts
// playing after its first chunk instead of after all of it. Used from the
// user-interface thread; the audio thread never touches it.
class BackgroundDecoder {
public:
    BackgroundDecoder();
    ~BackgroundDecoder();  // stops after the chunk at hand; unfinished work is dropped
    BackgroundDecoder(const BackgroundDecoder&) = delete;
    BackgroundDecoder& operator=(const BackgroundDecoder&) = delete;

    // The sample must stay alive until takeFinished() returns it.
    void finish(std::unique_ptr<WavDecoding> decoding);

    // A sample whose decoding has ended, or nullptr.
    const Sample* takeFinished();

private:
    void run();

    static constexpr int kChunkFrames = 16384;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::unique_ptr<WavDecoding>> waiting_;
    std::vector<const Sample*> finished_;
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace trovik
