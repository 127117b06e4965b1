// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/jack_transport_sync.h"

#include <jack/jack.h>
#include <jack/transport.h>

#include <cmath>

namespace trovik {
namespace {

constexpr int kLookMilliseconds = 10;
constexpr int kLooksBetweenTries = 50;

void ignoreJackMessage(const char*) {}

bool hasBars(const jack_position_t& position) {
    return (position.valid & JackPositionBBT) != 0 && position.beats_per_minute > 0 &&
           position.ticks_per_beat > 0 && position.bar > 0 && position.beat > 0;
}

}  // namespace

JackTransportSync::JackTransportSync(BeatModel& model, std::FILE* log, QObject* parent)
    : QObject(parent),
      model_(model),
      log_(log),
      steering_(model, log, "JACK transport"),
      interval_(model.interval()) {
    connectClient();
    connect(&model_, &BeatModel::transportChanged, this, &JackTransportSync::proposeFromModel);
    connect(&look_, &QTimer::timeout, this, &JackTransportSync::followTransport);
    look_.start(kLookMilliseconds);
}

// Clients of servers that went away are not closed (see JackDevice::close).
JackTransportSync::~JackTransportSync() {
    if (jack_client_t* client = client_.exchange(nullptr); client != nullptr && !serverGone_)
        jack_client_close(client);
}

// A server that is not there yet is asked again every half second; once
// connected, the client stays (its queries never block).
bool JackTransportSync::connectClient() {
    if (client_.load() != nullptr) return true;
    if (looksWithoutServer_++ % kLooksBetweenTries != 0) return false;
    // libjack writes every failure to connect to standard error.
    jack_set_error_function(&ignoreJackMessage);
    jack_set_info_function(&ignoreJackMessage);
    jack_status_t status{};
    jack_client_t* client = jack_client_open("trovik-transport", JackNoStartServer, &status);
    if (client == nullptr) return false;
    serverGone_.store(false);
    jack_on_shutdown(
        client, [](void* self) { static_cast<JackTransportSync*>(self)->serverGone_.store(true); },
        this);
    client_.store(client);
    return true;
}

// The client of a server that went away is dropped, never closed: span()
// may be querying it right now, and closing it would tear down what the
// output's client shares with it (see JackDevice::close).
void JackTransportSync::retireClient() {
    client_.store(nullptr);
    looksWithoutServer_ = 0;
    looked_ = false;
}

TimelineSpan JackTransportSync::span(std::int64_t, int, int) {
    jack_client_t* client = client_.load(std::memory_order_acquire);
    if (client == nullptr) return {};
    jack_position_t position{};
    const jack_transport_state_t state = jack_transport_query(client, &position);
    TimelineSpan span;
    span.follows = true;
    span.playing = state == JackTransportRolling;
    if (position.frame_rate == 0) {
        span.playing = false;
    } else if (hasBars(position)) {
        const double beatInBar = (position.beat - 1) + position.tick / position.ticks_per_beat;
        span.sixteenthAt = (position.bar - 1) * double{kSteps} + beatInBar * kStepsPerBeat;
        span.sixteenthsPerFrame =
            position.beats_per_minute / 60.0 * kStepsPerBeat / position.frame_rate;
    } else {
        const int interval = interval_.load(std::memory_order_relaxed);
        if (interval <= 0) {
            span.playing = false;
            return span;
        }
        const double framesPerStep = interval * static_cast<double>(position.frame_rate) / 1000.0;
        span.sixteenthAt = position.frame / framesPerStep;
        span.sixteenthsPerFrame = 1.0 / framesPerStep;
    }
    return span;
}

void JackTransportSync::proposeFromModel() {
    interval_.store(model_.interval(), std::memory_order_relaxed);
    jack_client_t* client = client_.load();
    if (steering_.applying() || client == nullptr || model_.running() == rolling_) return;
    rolling_ = model_.running();
    if (rolling_) {
        jack_transport_start(client);
    } else {
        jack_transport_stop(client);
    }
}

void JackTransportSync::followTransport() {
    if (serverGone_.exchange(false)) retireClient();
    if (!connectClient()) return;
    jack_position_t position{};
    const bool rolling = jack_transport_query(client_.load(), &position) == JackTransportRolling;
    if (hasBars(position) && std::abs(position.beats_per_minute - tempo_) > 1e-6) {
        tempo_ = position.beats_per_minute;
        interval_.store(steering_.takeTempo(tempo_), std::memory_order_relaxed);
    }
    // The first look joins the transport as it stands.
    if (rolling == rolling_ && looked_) return;
    looked_ = true;
    rolling_ = rolling;
    steering_.run(rolling);
}

}  // namespace trovik
