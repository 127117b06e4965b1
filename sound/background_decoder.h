// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "sound/sample_filler.h"
#include "sound/worker_thread.h"

namespace trovik {

// Fills samples on a thread of its own: it finishes decoding the part of a
// sound held in memory, so that a long file starts playing after its first
// chunk instead of after all of it, and keeps the ring of every streamed
// sample filled ahead of where it plays. Used from the track samples
// thread; the audio thread never touches it.
class BackgroundDecoder {
  public:
    BackgroundDecoder();
    ~BackgroundDecoder();  // stops after the piece at hand; unfinished work is dropped
    BackgroundDecoder(const BackgroundDecoder&) = delete;
    BackgroundDecoder& operator=(const BackgroundDecoder&) = delete;

    // The sample must stay alive until takeFinished() returns it: once it is
    // complete, or once cancelled.
    void fill(std::unique_ptr<SampleFiller> filler);
    // Stops filling the sample; it comes back through takeFinished().
    void cancel(const Sample* sample);

    // A sample the decoder is done with, or nullptr.
    const Sample* takeFinished();

    // Waits until the part in memory of every sample handed over is
    // complete (a streamed sample's ring goes on being filled) and every
    // cancelled one is on its way back.
    void waitUntilSettled();

  private:
    struct Job {
        std::unique_ptr<SampleFiller> filler;
        bool settled = false;
    };
    void run();
    bool workOnce(std::vector<Job>& jobs);
    int takeRequests(std::vector<Job>& jobs);
    void retire(std::vector<Job>& jobs);

    static constexpr int kChunkFrames = 16384;
    // How often a streamed sample's ring is looked at while nothing else is
    // to do: far less than the ring lasts.
    static constexpr std::chrono::milliseconds kStreamPoll{10};

    std::condition_variable settled_;
    std::vector<std::unique_ptr<SampleFiller>> incoming_;
    std::vector<const Sample*> cancelled_;
    std::vector<const Sample*> finished_;
    int unsettled_ = 0;
    WorkerThread worker_;
};

}  // namespace trovik
