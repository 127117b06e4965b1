// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/jack_device.h"

#include <jack/jack.h>

#include <algorithm>
#include <cstdio>

namespace trovik {
namespace {

constexpr const char* kClientName = "trovik";

// libjack writes every failure to standard error, among them "cannot
// connect" at each look for a server that is not there; the device tells
// its own problems once.
void ignoreJackMessage(const char*) {}

void quietJack() {
    jack_set_error_function(&ignoreJackMessage);
    jack_set_info_function(&ignoreJackMessage);
}

jack_client_t* openClient() {
    quietJack();
    jack_status_t status{};
    return jack_client_open(kClientName, JackNoStartServer, &status);
}

int processDevice(jack_nframes_t frames, void* device) {
    return static_cast<JackDevice*>(device)->process(frames);
}

void onShutdown(jack_status_t, const char*, void* device) {
    static_cast<JackDevice*>(device)->serverGone();
}

}  // namespace

std::optional<int> JackDevice::serverRate() {
    jack_client_t* client = openClient();
    if (client == nullptr) return std::nullopt;
    const int rate = static_cast<int>(jack_get_sample_rate(client));
    jack_client_close(client);
    return rate;
}

JackDevice::JackDevice(Mixer& mixer)
    : mixer_(mixer),
      scratch_(static_cast<std::size_t>(kScratchFrames) * Sample::kChannels),
      watch_(mixer.sampleRate()) {}

bool JackDevice::open() {
    if (isOpen()) return true;
    client_ = openClient();
    if (client_ == nullptr) {
        tellOnce("no JACK server yet");
        return false;
    }
    const int rate = static_cast<int>(jack_get_sample_rate(client_));
    if (rate != mixer_.sampleRate()) {
        // The beat's frames are counted at the rate the program started with.
        tellOnce("the JACK server runs at " + std::to_string(rate) + " Hz, the beat at " +
                 std::to_string(mixer_.sampleRate()) + " Hz; start the program again");
        close();
        return false;
    }
    for (std::size_t channel = 0; channel < ports_.size(); ++channel) {
        const std::string name = "out_" + std::to_string(channel + 1);
        ports_[channel] = jack_port_register(client_, name.c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                             JackPortIsOutput | JackPortIsTerminal, 0);
        if (ports_[channel] == nullptr) {
            tellOnce("JACK refused the port " + name);
            close();
            return false;
        }
    }
    periodFrames_ = static_cast<int>(jack_get_buffer_size(client_));
    serverGone_.store(false, std::memory_order_release);
    watch_.restart();
    frameClock_.restart();
    jack_set_process_callback(client_, &processDevice, this);
    jack_on_info_shutdown(client_, &onShutdown, this);
    if (jack_activate(client_) != 0) {
        tellOnce("JACK did not start our client");
        close();
        return false;
    }
    // Without playback ports (a server that plays nowhere) the beat still
    // runs; another program may connect our ports.
    if (!connectToPlayback()) tellOnce("no JACK playback ports to connect to");
    told_ = false;  // a later loss is told again
    return true;
}

bool JackDevice::connectToPlayback() {
    const char** playback = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                           JackPortIsPhysical | JackPortIsInput);
    if (playback == nullptr) return false;
    bool connected = true;
    for (std::size_t channel = 0; channel < ports_.size() && playback[channel] != nullptr;
         ++channel)
        connected &= jack_connect(client_, jack_port_name(ports_[channel]), playback[channel]) == 0;
    const bool any = playback[0] != nullptr;
    jack_free(static_cast<void*>(playback));
    return any && connected;
}

void JackDevice::close() {
    if (client_ == nullptr) return;
    // Closing also stops the process thread, once its callback has returned.
    // A client whose server went away is dropped, not closed: libjack then
    // tears down what every client of this process shares, and another
    // client of ours (the transport's) would read freed memory.
    if (!serverGone_.load(std::memory_order_acquire)) jack_client_close(client_);
    client_ = nullptr;
    ports_ = {};
}

bool JackDevice::lost() {
    if (!isOpen()) return false;
    return serverGone_.load(std::memory_order_acquire) || watch_.stalled();
}

int JackDevice::process(std::uint32_t frames) {
    const std::int64_t now = steadyNanoseconds();
    watch_.callback(now, static_cast<int>(frames));
    // The step clock follows JACK's frames, not the wake-up of this thread.
    const std::int64_t cycleTime =
        frameClock_.timeOf(jack_last_frame_time(client_), cycleStartOr(now), mixer_.sampleRate());
    jack_latency_range_t latency{};
    jack_port_get_latency_range(ports_[0], JackPlaybackLatency, &latency);
    mixer_.setOutputLatency(nanosecondsIn(latency.max, mixer_.sampleRate()));
    std::array<float*, Sample::kChannels> outs{};
    for (std::size_t channel = 0; channel < outs.size(); ++channel)
        outs[channel] = static_cast<float*>(jack_port_get_buffer(ports_[channel], frames));
    // JACK's period is usually no larger than the scratch; a larger one is
    // rendered in parts, each told its own time.
    for (std::uint32_t done = 0; done < frames;) {
        const int block = static_cast<int>(std::min<std::uint32_t>(frames - done, kScratchFrames));
        const std::int64_t blockTime = cycleTime + nanosecondsIn(done, mixer_.sampleRate());
        mixer_.render(scratch_.data(), block, blockTime);
        for (int frame = 0; frame < block; ++frame)
            for (std::size_t channel = 0; channel < outs.size(); ++channel)
                outs[channel][done + static_cast<std::uint32_t>(frame)] =
                    scratch_[static_cast<std::size_t>(frame) * outs.size() + channel];
        done += static_cast<std::uint32_t>(block);
    }
    return 0;
}

// When the current cycle started on the steady clock, as JACK's filtered
// cycle time tells it: the same for every client of the server, however
// late this thread woke.
std::int64_t JackDevice::cycleStartOr(std::int64_t now) const {
    jack_nframes_t frames = 0;
    jack_time_t start = 0;
    jack_time_t next = 0;
    float period = 0;
    if (jack_get_cycle_times(client_, &frames, &start, &next, &period) != 0) return now;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto jackAhead =
            microsecondsAhead([] { return static_cast<std::int64_t>(jack_get_time()); });
        if (jackAhead) return (static_cast<std::int64_t>(start) - *jackAhead) * 1000;
    }
    return now;
}

void JackDevice::tellOnce(const std::string& problem) {
    if (!told_) std::fprintf(stderr, "trovik: %s\n", problem.c_str());
    told_ = true;
}

}  // namespace trovik
