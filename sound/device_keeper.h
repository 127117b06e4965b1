// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <vector>

#include "sound/mixer.h"
#include "sound/output_device.h"
#include "sound/worker_thread.h"

namespace trovik {

// Keeps the output device open for as long as the program runs. Every half
// second, on a thread of its own, it looks whether the device still plays;
// a lost device is closed (the program goes on silently) and opened again
// as soon as a sound server takes it, so the beat resumes by itself.
// Nothing here ever waits on the user-interface thread, nor it on this.
//
// While no stream plays, a second thread stands in for the audio thread:
// it renders the mixer into nothing at the pace of the steady clock, so the
// steps go on and the window keeps counting them. It takes over before a
// lost device is closed, so a server that hangs (and with it the close)
// stops nothing but the looking thread. Every stream the keeper opens, and
// every silent walk, joins the grid to the steady clock (Mixer).
class DeviceKeeper {
  public:
    static constexpr std::chrono::milliseconds kRetryPeriod{500};

    DeviceKeeper(OutputDevice& device, Mixer& mixer, int blockFrames);
    ~DeviceKeeper();  // stops the threads; the device stays as it is
    DeviceKeeper(const DeviceKeeper&) = delete;
    DeviceKeeper& operator=(const DeviceKeeper&) = delete;

    // Starts looking every kRetryPeriod, and walking silently while no
    // stream plays.
    void start();

    // One look: keeps an open device that plays, closes a lost one, and
    // tries to open a closed one. Only from the thread that owns the device:
    // before start(), or this class's looking thread.
    void check(std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());

    // Renders silently what the steady clock says is due since the stream
    // was shut out; nothing while a stream plays. Any thread.
    void renderSilently(std::chrono::steady_clock::time_point now);

    // From now on nothing renders the mixer: no stream, no silent walk.
    // Waits for no device. Any thread.
    void stopRendering();

    // Any thread.
    bool sounding() const { return sounding_.load(std::memory_order_acquire); }

  private:
    void look();
    void walk();
    void renderDue(std::chrono::steady_clock::time_point now);
    void startSilence(std::chrono::steady_clock::time_point now);
    bool openDevice(std::chrono::steady_clock::time_point now);
    void growBuffer(std::chrono::steady_clock::time_point now);

    OutputDevice& device_;
    Mixer& mixer_;
    int blockFrames_;
    std::vector<float> scratch_;
    std::atomic<bool> sounding_{false};

    // The silent walk, under walker_.mutex().
    bool walking_ = false;
    bool retired_ = false;
    std::chrono::steady_clock::time_point silentSince_{};
    std::int64_t silentFrames_ = 0;
    WorkerThread walker_;

    WorkerThread looker_;
};

}  // namespace trovik
