// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/background_decoder.h"

#include <algorithm>

namespace trovik {

BackgroundDecoder::BackgroundDecoder() {
    worker_.start([this] { run(); });
}

BackgroundDecoder::~BackgroundDecoder() {
    worker_.stop();
}

void BackgroundDecoder::fill(std::unique_ptr<SampleFiller> filler) {
    {
        const std::lock_guard lock(worker_.mutex());
        incoming_.push_back(std::move(filler));
        ++unsettled_;
    }
    worker_.wake();
}

void BackgroundDecoder::cancel(const Sample* sample) {
    {
        const std::lock_guard lock(worker_.mutex());
        cancelled_.push_back(sample);
        ++unsettled_;  // until the decoder has let go of it
    }
    worker_.wake();
}

const Sample* BackgroundDecoder::takeFinished() {
    const std::lock_guard lock(worker_.mutex());
    if (finished_.empty()) return nullptr;
    const Sample* sample = finished_.back();
    finished_.pop_back();
    return sample;
}

void BackgroundDecoder::waitUntilSettled() {
    std::unique_lock lock(worker_.mutex());
    settled_.wait(lock, [this] { return unsettled_ == 0; });
}

void BackgroundDecoder::run() {
    std::vector<Job> jobs;  // this thread's own
    std::unique_lock lock(worker_.mutex());
    for (;;) {
        const int cancels = takeRequests(jobs);
        lock.unlock();
        const bool busy = workOnce(jobs);
        lock.lock();
        unsettled_ -= cancels;
        retire(jobs);
        if (busy) continue;
        const auto asked = [this] { return !incoming_.empty() || !cancelled_.empty(); };
        const bool stopping =
            jobs.empty()
                ? worker_.wait(lock, asked)
                : worker_.waitUntil(lock, std::chrono::steady_clock::now() + kStreamPoll, asked);
        if (stopping) return;
    }
}

// With the lock held; tells how many cancellations it took.
int BackgroundDecoder::takeRequests(std::vector<Job>& jobs) {
    for (auto& filler : incoming_) jobs.push_back({std::move(filler)});
    incoming_.clear();
    for (const Sample* sample : cancelled_) {
        const auto found = std::find_if(jobs.begin(), jobs.end(), [&](const Job& job) {
            return &job.filler->sample() == sample;
        });
        if (found == jobs.end()) continue;  // finished meanwhile: already on its way back
        found->filler->abandon();
    }
    const auto cancels = static_cast<int>(cancelled_.size());
    cancelled_.clear();
    return cancels;
}

// Without the lock: one piece of work for every sample.
bool BackgroundDecoder::workOnce(std::vector<Job>& jobs) {
    bool busy = false;
    for (Job& job : jobs) {
        try {
            busy = job.filler->step(kChunkFrames) || busy;
        } catch (...) {
            job.filler->abandon();  // the sound ends where it stands
        }
    }
    return busy;
}

// With the lock held: hands back what is finished and counts what settled.
void BackgroundDecoder::retire(std::vector<Job>& jobs) {
    for (Job& job : jobs) {
        if (!job.settled && job.filler->headDone()) {
            job.settled = true;
            --unsettled_;
        }
        if (job.filler->finished()) {
            finished_.push_back(&job.filler->sample());
            job.filler.reset();
        }
    }
    std::erase_if(jobs, [](const Job& job) { return job.filler == nullptr; });
    if (unsettled_ == 0) settled_.notify_all();
}

}  // namespace trovik
