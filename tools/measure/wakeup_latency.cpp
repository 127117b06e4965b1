// SPDX-License-Identifier: GPL-3.0-or-later
// How late a thread wakes on this machine: sleeps to every whole millisecond
// for a while and reports how far behind each wake-up came. What a busy
// machine (or the host of a virtual one) does to every thread, whatever the
// program: the hit latency must leave room for it.
//
// usage: wakeup_latency <seconds> [realtime-priority]
//   0 or no priority: an ordinary thread; 1 to 99: SCHED_FIFO at that level.
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr long kNanosecondsPerMillisecond = 1'000'000;

long nanosecondsBetween(const timespec& from, const timespec& to) {
    return (to.tv_sec - from.tv_sec) * 1'000'000'000L + (to.tv_nsec - from.tv_nsec);
}

void addMillisecond(timespec& t) {
    t.tv_nsec += kNanosecondsPerMillisecond;
    if (t.tv_nsec >= 1'000'000'000L) {
        t.tv_nsec -= 1'000'000'000L;
        ++t.tv_sec;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <seconds> [realtime-priority]\n", argv[0]);
        return 2;
    }
    const long wakeups = std::atol(argv[1]) * 1000;
    const int priority = argc > 2 ? std::atoi(argv[2]) : 0;
    if (priority > 0) {
        sched_param parameters{};
        parameters.sched_priority = priority;
        if (sched_setscheduler(0, SCHED_FIFO, &parameters) != 0) {
            std::perror("SCHED_FIFO refused");
            return 1;
        }
    }
    long worst = 0, over1 = 0, over2 = 0, over5 = 0;
    timespec due{}, woke{};
    clock_gettime(CLOCK_MONOTONIC, &due);
    for (long i = 0; i < wakeups; ++i) {
        addMillisecond(due);
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
        clock_gettime(CLOCK_MONOTONIC, &woke);
        const long late = nanosecondsBetween(due, woke);
        worst = std::max(worst, late);
        over1 += late > kNanosecondsPerMillisecond;
        over2 += late > 2 * kNanosecondsPerMillisecond;
        over5 += late > 5 * kNanosecondsPerMillisecond;
    }
    std::printf("%s: %ld wake-ups, latest %.3f ms; over 1 ms %ld, over 2 ms %ld, over 5 ms %ld\n",
                priority > 0 ? "SCHED_FIFO" : "ordinary thread", wakeups,
                static_cast<double>(worst) / kNanosecondsPerMillisecond, over1, over2, over5);
    return 0;
}
