// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace trovik {

// A thread that sleeps until it is woken, or its time comes, or it is told
// to stop. Its owner keeps the state the thread shares under mutex(), and
// calls stop() first thing in its destructor, while that state still lives.
class WorkerThread {
  public:
    WorkerThread() = default;
    ~WorkerThread() { stop(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    template <class Body>
    void start(Body body) {
        if (!thread_.joinable()) thread_ = std::thread(std::move(body));
    }

    // Tells the thread to stop, wakes it and waits until it has ended.
    void stop() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    std::mutex& mutex() { return mutex_; }
    void wake() { wake_.notify_all(); }

    // With mutex() held: sleeps until `ready()` holds or stop() was called;
    // true when stopping.
    template <class Ready>
    bool wait(std::unique_lock<std::mutex>& lock, Ready ready) {
        wake_.wait(lock, [&] { return stopping_ || ready(); });
        return stopping_;
    }
    // The same, also waking at `time`.
    template <class Time, class Ready>
    bool waitUntil(std::unique_lock<std::mutex>& lock, Time time, Ready ready) {
        wake_.wait_until(lock, time, [&] { return stopping_ || ready(); });
        return stopping_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace trovik
