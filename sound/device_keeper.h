#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "sound/mixer.h"
#include "sound/output_device.h"
#include "sound/stream_clock.h"

namespace trovik {

// Keeps the output device open for as long as the program runs. Every half
// second, on a thread of its own, it looks whether the device still plays;
// a lost device is closed (the program goes on silently) and opened again
// as soon as a sound server takes it, with a fresh stream clock, so the
// beat resumes by itself. Nothing here ever waits on the user-interface
// thread, nor it on this.
//
// While the device is closed, this thread stands in for the audio thread
// as the mixer's consumer: it drops the hits posted meanwhile, so that none
// sounds late once the device is back and every borrowed sample comes home.
class DeviceKeeper {
  public:
    static constexpr std::chrono::milliseconds kRetryPeriod{500};

    DeviceKeeper(OutputDevice& device, Mixer& mixer, StreamClock& clock);
    ~DeviceKeeper();  // stops the thread; the device stays as it is
    DeviceKeeper(const DeviceKeeper&) = delete;
    DeviceKeeper& operator=(const DeviceKeeper&) = delete;

    // Starts looking every kRetryPeriod.
    void start();

    // One look: keeps an open device that plays, closes a lost one, and
    // tries to open a closed one. Only from the thread that owns the device:
    // before start(), or this class's own thread.
    void check();

    // Any thread.
    bool sounding() const { return sounding_.load(std::memory_order_acquire); }
    std::uint64_t timesOpened() const { return opened_.load(std::memory_order_relaxed); }

  private:
    void run();

    OutputDevice& device_;
    Mixer& mixer_;
    StreamClock& clock_;
    std::atomic<bool> sounding_{false};
    std::atomic<std::uint64_t> opened_{0};

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace trovik
