// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <pthread.h>
#include <sched.h>

namespace trovik {

// Sound libraries ask for real-time priority only through a desktop service
// that many systems lack; asking the kernel directly works wherever the user
// may (root, or a real-time limit granted to audio users) and is a no-op
// elsewhere. True when the calling thread got it.
inline bool raiseThisThreadToRealTime() {
    sched_param parameters{};
    parameters.sched_priority = sched_get_priority_min(SCHED_RR) + 9;
    return pthread_setschedparam(pthread_self(), SCHED_RR, &parameters) == 0;
}

}  // namespace trovik
