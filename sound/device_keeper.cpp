// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/device_keeper.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

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
    looker_.stop();
    walker_.stop();
}

void DeviceKeeper::start() {
    walker_.start([this] { walk(); });
    looker_.start([this] { look(); });
}

void DeviceKeeper::check(std::chrono::steady_clock::time_point now) {
    if (device_.isOpen()) {
        if (!device_.lost()) {
            if (device_.ranDry()) growBuffer(now);
            return;
        }
        sounding_.store(false, std::memory_order_release);
        // Before the close, which waits for a server that hangs as long as it hangs.
        startSilence(now);
        device_.close();
    }
    renderSilently(now);
    if (openDevice(now)) sounding_.store(true, std::memory_order_release);
}

// The silent walk stops before the stream starts, and its first block
// joins the grid to the steady clock; a device that does not open leaves
// the walk to go on.
bool DeviceKeeper::openDevice(std::chrono::steady_clock::time_point now) {
    {
        const std::lock_guard lock(walker_.mutex());
        if (retired_) return false;
        walking_ = false;
        mixer_.streamStarts();
    }
    if (device_.open()) return true;
    startSilence(now);
    return false;
}

// A device that ran dry is opened again with twice the buffer, up to the
// largest it may have: a little more latency, and the beat keeps its place.
void DeviceKeeper::growBuffer(std::chrono::steady_clock::time_point now) {
    const int before = device_.bufferFrames();
    if (!device_.growBuffer()) return;
    std::fprintf(stderr,
                 "trovik: the sound ran dry; the output buffer grows from %d to %d frames\n",
                 before, device_.bufferFrames());
    startSilence(now);
    device_.close();
    if (!openDevice(now)) sounding_.store(false, std::memory_order_release);
}

void DeviceKeeper::startSilence(std::chrono::steady_clock::time_point now) {
    {
        const std::lock_guard lock(walker_.mutex());
        if (retired_ || walking_) return;
        mixer_.shutStream();
        // After the stream's last block, which may have come after `now`.
        silentSince_ = std::max(now, std::chrono::steady_clock::time_point(
                                         std::chrono::nanoseconds(mixer_.nextBlockDue())));
        silentFrames_ = 0;
        walking_ = true;
    }
    walker_.wake();
}

void DeviceKeeper::stopRendering() {
    {
        const std::lock_guard lock(walker_.mutex());
        retired_ = true;
        walking_ = false;
        mixer_.shutForGood();
    }
    walker_.stop();
}

void DeviceKeeper::renderSilently(std::chrono::steady_clock::time_point now) {
    const std::lock_guard lock(walker_.mutex());
    renderDue(now);
}

// With walker_.mutex() held.
void DeviceKeeper::renderDue(std::chrono::steady_clock::time_point now) {
    if (!walking_) return;
    const int rate = mixer_.sampleRate();
    const std::int64_t due = framesIn(nanosecondsOf(now) - nanosecondsOf(silentSince_), rate);
    // After a long suspension the time gone by is skipped, not made up: the
    // walk starts anew, and its grid joins the clock again.
    if (due - silentFrames_ > rate) {
        silentFrames_ = due - blockFrames_;
        mixer_.shutStream();
    }
    // Each block at the time it fell due, so that the grid keeps the clock's pace.
    while (silentFrames_ + blockFrames_ <= due) {
        mixer_.renderWithoutStream(
            scratch_.data(), blockFrames_,
            nanosecondsOf(silentSince_) + nanosecondsIn(silentFrames_, rate));
        silentFrames_ += blockFrames_;
    }
}

void DeviceKeeper::look() {
    std::unique_lock lock(looker_.mutex());
    for (;;) {
        const auto next = std::chrono::steady_clock::now() + kRetryPeriod;
        if (looker_.waitUntil(lock, next, [] { return false; })) return;
        lock.unlock();
        check(std::chrono::steady_clock::now());
        lock.lock();
    }
}

// Wakes once a block while walking, to render it.
void DeviceKeeper::walk() {
    const std::chrono::nanoseconds block(nanosecondsIn(blockFrames_, mixer_.sampleRate()));
    std::unique_lock lock(walker_.mutex());
    for (;;) {
        const bool stopping =
            walking_ ? walker_.waitUntil(lock, std::chrono::steady_clock::now() + block,
                                         [] { return false; })
                     : walker_.wait(lock, [this] { return walking_; });
        if (stopping) return;
        renderDue(std::chrono::steady_clock::now());
    }
}

}  // namespace trovik
