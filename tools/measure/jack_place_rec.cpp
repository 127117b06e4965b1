// SPDX-License-Identifier: GPL-3.0-or-later
// Records JACK ports into a WAV (16 bits, one channel per port) where every
// period lies at its frame on the server's own frame counter, counted from
// the first period recorded. Periods the server skipped (an xrun: a client
// before us in the graph was not finished in time) become silence of their
// length, so every later frame keeps its time; each such gap is listed at
// the end. A period that comes with a later frame than its own (the client
// ran late, into the next cycle) is put back where the next period shows
// it belongs (tools/measure/period_placement.h).
//
// usage: jack_place_rec -f out.wav -d seconds [-n client-name] port...
//
// Its ports are <client-name>:in_1 ... in_N (client name placerec unless
// given), each connected from the port given in the same place. It ends
// after the file holds that many seconds, or at SIGINT or SIGTERM, and then
// prints one line per gap and their count. It exits nonzero, saying why,
// when no server answers, a port cannot be connected, the server goes away
// or stops running, or periods were lost on the way to the file.
#include <jack/jack.h>
#include <jack/ringbuffer.h>
#include <sndfile.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "tools/measure/period_placement.h"

namespace {

using trovik::placement::PeriodPlacer;

struct PeriodHeader {
    jack_nframes_t frame = 0;
    jack_nframes_t frames = 0;
};

// Shared by the process callback, which only reads its ports into the ring,
// and the main thread, which writes the ring into the file.
struct Recorder {
    jack_client_t* client = nullptr;
    std::vector<jack_port_t*> ports;
    jack_ringbuffer_t* ring = nullptr;
    std::atomic<long> periodsNotHandedOver{0};
    std::atomic<bool> serverGone{false};
};

std::atomic<bool> stopAsked{false};

void askStop(int) {
    stopAsked = true;
}

int process(jack_nframes_t frames, void* data) {
    auto& recorder = *static_cast<Recorder*>(data);
    const PeriodHeader header{jack_last_frame_time(recorder.client), frames};
    const std::size_t channelBytes = frames * sizeof(float);
    if (jack_ringbuffer_write_space(recorder.ring) <
        sizeof header + channelBytes * recorder.ports.size()) {
        recorder.periodsNotHandedOver.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    jack_ringbuffer_write(recorder.ring, reinterpret_cast<const char*>(&header), sizeof header);
    for (jack_port_t* port : recorder.ports) {
        jack_ringbuffer_write(recorder.ring,
                              static_cast<const char*>(jack_port_get_buffer(port, frames)),
                              channelBytes);
    }
    return 0;
}

void onShutdown(jack_status_t, const char*, void* data) {
    static_cast<Recorder*>(data)->serverGone = true;
}

struct Options {
    const char* path = nullptr;
    double seconds = 0;
    const char* clientName = "placerec";
    std::vector<const char*> sources;
};

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-f" && i + 1 < argc) {
            options.path = argv[++i];
        } else if (arg == "-d" && i + 1 < argc) {
            options.seconds = std::atof(argv[++i]);
        } else if (arg == "-n" && i + 1 < argc) {
            options.clientName = argv[++i];
        } else if (arg.starts_with("-")) {
            return false;
        } else {
            options.sources.push_back(argv[i]);
        }
    }
    return options.path != nullptr && options.seconds > 0 && !options.sources.empty();
}

// Writes what the ring holds into the file, each period where the placer
// puts it. The ring holds each period's header, then its channels one after
// the other; the process callback writes a period only when all of it fits,
// so a header seen means the rest follows.
class Writer {
  public:
    Writer(SNDFILE* file, std::size_t channels, std::uint64_t limit)
        : file_(file), channels_(channels), placer_(limit) {}

    void drain(jack_ringbuffer_t* ring) {
        PeriodHeader header;
        while (!placer_.full() && jack_ringbuffer_read_space(ring) >= sizeof header) {
            jack_ringbuffer_peek(ring, reinterpret_cast<char*>(&header), sizeof header);
            const std::size_t dataBytes = std::size_t{header.frames} * sizeof(float) * channels_;
            if (jack_ringbuffer_read_space(ring) < sizeof header + dataBytes) return;
            jack_ringbuffer_read_advance(ring, sizeof header);
            Period& period = pending_.emplace_back();
            period.frames = header.frames;
            period.channels.resize(std::size_t{header.frames} * channels_);
            jack_ringbuffer_read(ring, reinterpret_cast<char*>(period.channels.data()), dataBytes);
            writePending(placer_.place(header.frame, header.frames));
        }
    }

    // Writes the periods still held.
    void finish() { writePending(placer_.release()); }

    const PeriodPlacer& placer() const { return placer_; }
    bool failed() const { return failed_; }

  private:
    // One period as the ring gives it: each channel's frames in turn.
    struct Period {
        std::uint32_t frames = 0;
        std::vector<float> channels;
    };

    // The placements are those of the oldest pending periods, in order.
    void writePending(const std::vector<trovik::placement::Placement>& placements) {
        for (const auto& placement : placements) {
            write(pending_.front(), placement);
            pending_.pop_front();
        }
    }

    void write(const Period& period, const trovik::placement::Placement& placement) {
        interleaved_.assign(placement.silence * channels_, 0.0f);
        writeInterleaved(placement.silence);
        interleaved_.resize(std::size_t{placement.take} * channels_);
        for (std::size_t i = 0; i < placement.take; ++i) {
            for (std::size_t c = 0; c < channels_; ++c)
                interleaved_[i * channels_ + c] =
                    period.channels[c * period.frames + placement.skip + i];
        }
        writeInterleaved(placement.take);
    }

    void writeInterleaved(std::size_t frameCount) {
        const auto frames = static_cast<sf_count_t>(frameCount);
        if (frames > 0 && sf_writef_float(file_, interleaved_.data(), frames) != frames)
            failed_ = true;
    }

    SNDFILE* file_;
    std::size_t channels_;
    PeriodPlacer placer_;
    std::deque<Period> pending_;  // read from the ring, not yet written
    std::vector<float> interleaved_;
    bool failed_ = false;
};

// What the tool holds open; closed in this order: the client first, so that
// no process callback runs on a ring that is gone.
struct Session {
    Recorder recorder;
    SNDFILE* file = nullptr;
    ~Session() {
        if (recorder.client != nullptr) jack_client_close(recorder.client);
        if (recorder.ring != nullptr) jack_ringbuffer_free(recorder.ring);
        if (file != nullptr) sf_close(file);
    }
};

int failure(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "jack_place_rec: %s%s\n", what, detail.c_str());
    return 1;
}

bool openClient(Session& session, const Options& options) {
    jack_status_t status{};
    session.recorder.client = jack_client_open(
        options.clientName, static_cast<jack_options_t>(JackNoStartServer | JackUseExactName),
        &status);
    if (session.recorder.client == nullptr) {
        if ((status & JackNameNotUnique) != 0)
            failure("a JACK client of this name runs already: ", options.clientName);
        else
            failure("no JACK server answers");
        return false;
    }
    for (std::size_t i = 1; i <= options.sources.size(); ++i) {
        const std::string name = "in_" + std::to_string(i);
        jack_port_t* port = jack_port_register(session.recorder.client, name.c_str(),
                                               JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        if (port == nullptr) {
            failure("cannot register port ", name);
            return false;
        }
        session.recorder.ports.push_back(port);
    }
    return true;
}

bool openFile(Session& session, const Options& options, int rate) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = static_cast<int>(options.sources.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    session.file = sf_open(options.path, SFM_WRITE, &info);
    if (session.file == nullptr) {
        failure("cannot write ", options.path);
        return false;
    }
    sf_command(session.file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return true;
}

bool connectSources(Session& session, const Options& options) {
    for (std::size_t i = 0; i < options.sources.size(); ++i) {
        const char* ours = jack_port_name(session.recorder.ports[i]);
        if (jack_connect(session.recorder.client, options.sources[i], ours) != 0) {
            failure("cannot connect ", std::string(options.sources[i]) + " to " + ours);
            return false;
        }
    }
    return true;
}

// One line per gap and per period put back, then the count of each.
void reportPlacing(const PeriodPlacer& placer, int rate) {
    const auto list = [rate](const std::vector<trovik::placement::Gap>& spans, const char* what) {
        std::uint64_t total = 0;
        for (const auto& span : spans) {
            std::printf("%s at %.3f s (frame %llu): %llu frames (%.1f ms)\n", what,
                        static_cast<double>(span.at) / rate,
                        static_cast<unsigned long long>(span.at),
                        static_cast<unsigned long long>(span.length),
                        static_cast<double>(span.length) * 1000.0 / rate);
            total += span.length;
        }
        return total;
    };
    const auto silent = list(placer.gaps(), "gap");
    list(placer.putBack(), "period put back");
    std::printf("gaps: %zu (%llu frames); periods put back: %zu; recorded %.3f s at %d Hz\n",
                placer.gaps().size(), static_cast<unsigned long long>(silent),
                placer.putBack().size(), static_cast<double>(placer.written()) / rate, rate);
}

// How long the server may take beyond the span asked for before the tool
// gives up on it.
constexpr auto kServerGrace = std::chrono::seconds(10);

int record(const Options& options) {
    Session session;
    if (!openClient(session, options)) return 1;
    Recorder& recorder = session.recorder;
    const int rate = static_cast<int>(jack_get_sample_rate(recorder.client));
    if (!openFile(session, options, rate)) return 1;
    // Eight seconds of every channel: the writer may stall that long.
    recorder.ring =
        jack_ringbuffer_create(std::size_t(rate) * 8 * sizeof(float) * recorder.ports.size());
    jack_ringbuffer_mlock(recorder.ring);
    jack_set_process_callback(recorder.client, process, &recorder);
    jack_on_info_shutdown(recorder.client, onShutdown, &recorder);
    if (jack_activate(recorder.client) != 0) return failure("cannot activate the client");
    if (!connectSources(session, options)) {
        unlink(options.path);
        return 1;
    }

    const auto limit = static_cast<std::uint64_t>(options.seconds * rate);
    Writer writer(session.file, recorder.ports.size(), limit);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration<double>(options.seconds) + kServerGrace;
    while (!writer.placer().full() && !stopAsked && !recorder.serverGone &&
           std::chrono::steady_clock::now() < deadline) {
        writer.drain(recorder.ring);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!recorder.serverGone) jack_deactivate(recorder.client);
    writer.drain(recorder.ring);
    writer.finish();
    reportPlacing(writer.placer(), rate);

    const double recorded = static_cast<double>(writer.placer().written()) / rate;
    if (writer.failed()) return failure("cannot write ", options.path);
    if (recorder.serverGone)
        return failure("the JACK server went away after ", std::to_string(recorded) + " s");
    if (const long lost = recorder.periodsNotHandedOver; lost > 0)
        return failure("periods the writer had no room for, silent in the file: ",
                       std::to_string(lost));
    if (writer.placer().framesBehind() > 0)
        return failure("the server's frame counter went back; frames left out: ",
                       std::to_string(writer.placer().framesBehind()));
    if (!writer.placer().full() && !stopAsked)
        return failure("the server ran only ", std::to_string(recorded) + " s of " +
                                                   std::to_string(options.seconds) + " s");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s -f out.wav -d seconds [-n client-name] port...\n", argv[0]);
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = askStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return record(options);
}
