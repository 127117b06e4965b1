// SPDX-License-Identifier: GPL-3.0-or-later
// The floor under the program's CPU use: the program's own output path (the
// backend, rate and buffer chosen from the same environment, the same
// device, the keeper that watches it) playing a beat that never starts,
// and nothing else, until SIGINT or SIGTERM. Whatever the program costs
// beyond this is its own.
//
// usage: silence_floor
// Prints the rate, buffer and backend once the stream plays.

#include <csignal>
#include <cstdio>

#include "sequencer/sequencer_link.h"
#include "sound/device_keeper.h"
#include "sound/mixer.h"
#include "sound/output_path.h"
#include "sound/track_slots.h"

namespace {

// SIGINT and SIGTERM are blocked before any thread starts, so every thread
// inherits the mask and the main thread takes them with sigwait.
sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace

int main() {
    const sigset_t signals = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    trovik::OutputPath::prepareProcess(trovik::AudioThreadPriority::RealTime);
    trovik::OutputPath path;
    trovik::SequencerLink link;
    trovik::TrackSlots slots;
    trovik::Mixer mixer(link, slots, path.sampleRate());
    const auto device = path.makeDevice(mixer);
    int signal = 0;
    {
        trovik::DeviceKeeper keeper(*device, mixer, path.bufferFrames());
        keeper.check();
        if (!device->isOpen()) {
            std::fprintf(stderr, "silence_floor: no %s output\n",
                         trovik::backendName(path.backend()));
            return 1;
        }
        keeper.start();
        std::fprintf(stderr, "silence_floor: %d Hz, %d frames, %s\n", path.sampleRate(),
                     device->bufferFrames(), trovik::backendName(path.backend()));
        sigwait(&signals, &signal);
    }
    device->close();
    std::fprintf(stderr, "silence_floor: stopped by signal %d\n", signal);
    return 0;
}
