// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/device_keeper.h"

#include <cstdio>

namespace trovik {
namespace {

std::int64_t nanosecondsOf(std::chrono::steady_clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}

}  // namespace

DeviceKeeper::DeviceKeeper(OutputDevice& device, Mixer& mixer, int blockFrames)
    : device_(device),
      mixer_(mixer),
      blockFrames_(blockFrames),
      scratch_(static_cast<std::size_t>(blockFrames) * Sample::kChannels) {
    startSilence(std::chrono::steady_clock::now());
}

DeviceKeeper::~DeviceKeeper() {
    worker_.stop();
}

void DeviceKeeper::start() {
    worker_.start([this] { run(); });
}

void DeviceKeeper::check(std::chrono::steady_clock::time_point now) {
    if (device_.isOpen()) {
        if (!device_.lost()) {
            if (device_.ranDry()) growBuffer(now);
            return;
        }
        device_.close();
        sounding_.store(false, std::memory_order_release);
        startSilence(now);
    }
    renderSilently(now);
    if (openDevice()) sounding_.store(true, std::memory_order_release);
}

// Its stream joins the grid to the steady clock.
bool DeviceKeeper::openDevice() {
    mixer_.streamStarts();
    return device_.open();
}

// A device that ran dry is opened again with twice the buffer, up to the
// largest it may have: a little more latency, and the beat keeps its time.
void DeviceKeeper::growBuffer(std::chrono::steady_clock::time_point now) {
    const int before = device_.bufferFrames();
    if (!device_.growBuffer()) return;
    std::fprintf(stderr,
                 "trovik: the sound ran dry; the output buffer grows from %d to %d frames\n",
                 before, device_.bufferFrames());
    device_.close();
    if (!openDevice()) {
        sounding_.store(false, std::memory_order_release);
        startSilence(now);
    }
}

void DeviceKeeper::startSilence(std::chrono::steady_clock::time_point now) {
    silentSince_ = now;
    silentFrames_ = 0;
    mixer_.streamStarts();
}

void DeviceKeeper::renderSilently(std::chrono::steady_clock::time_point now) {
    if (device_.isOpen()) return;
    const std::int64_t due =
        framesIn(nanosecondsOf(now) - nanosecondsOf(silentSince_), mixer_.sampleRate());
    // After a long suspension the time gone by is skipped, not made up: the
    // grid joins the clock again.
    const std::int64_t behind = due - silentFrames_;
    if (behind > mixer_.sampleRate()) {
        silentFrames_ = due - blockFrames_;
        mixer_.streamStarts();
    }
    // Each block at the time it fell due, so that the grid keeps the clock's pace.
    while (silentFrames_ + blockFrames_ <= due) {
        mixer_.render(
            scratch_.data(), blockFrames_,
            nanosecondsOf(silentSince_) + nanosecondsIn(silentFrames_, mixer_.sampleRate()));
        silentFrames_ += blockFrames_;
    }
}

void DeviceKeeper::run() {
    const auto block =
        std::chrono::nanoseconds(std::int64_t{blockFrames_} * 1'000'000'000 / mixer_.sampleRate());
    auto nextCheck = std::chrono::steady_clock::now() + kRetryPeriod;
    std::unique_lock lock(worker_.mutex());
    for (;;) {
        // While closed, wake once a block to render it; while open, only to check.
        const auto wakeAt = device_.isOpen()
                                ? nextCheck
                                : std::min(nextCheck, std::chrono::steady_clock::now() + block);
        if (worker_.waitUntil(lock, wakeAt, [] { return false; })) return;
        lock.unlock();
        const auto now = std::chrono::steady_clock::now();
        if (now >= nextCheck) {
            check(now);
            nextCheck = now + kRetryPeriod;
        } else {
            renderSilently(now);
        }
        lock.lock();
    }
}

}  // namespace trovik
