#include "sound/device_keeper.h"

namespace trovik {

DeviceKeeper::DeviceKeeper(OutputDevice& device, Mixer& mixer, StreamClock& clock)
    : device_(device), mixer_(mixer), clock_(clock) {}

DeviceKeeper::~DeviceKeeper() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void DeviceKeeper::start() {
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
}

void DeviceKeeper::check() {
    if (device_.isOpen()) {
        if (!device_.lost()) return;
        device_.close();
        sounding_.store(false, std::memory_order_release);
        clock_.reset();  // the audio thread is gone: the stream starts anew
    }
    mixer_.discardPending();
    if (device_.open()) {
        opened_.fetch_add(1, std::memory_order_relaxed);
        sounding_.store(true, std::memory_order_release);
    }
}

void DeviceKeeper::run() {
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, kRetryPeriod, [this] { return stopping_; })) {
        lock.unlock();
        check();
        lock.lock();
    }
}

}  // namespace trovik
