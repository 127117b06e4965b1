// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/pulse_device.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <thread>

#include "sequencer/steady_time.h"
#include "sound/realtime_thread.h"

namespace trovik {
namespace {

using namespace std::chrono_literals;

constexpr const char* kClientName = "trovik";
constexpr std::size_t kFrameBytes = sizeof(float) * Sample::kChannels;
// How long a server may take to answer before it counts as none.
constexpr auto kAnswerTime = 2s;
// How long a new stream plays silence at most while the server has not yet
// told when its first frame is heard (its first timings come within some
// 20 ms).
constexpr std::int64_t kLeadInNanoseconds = 200'000'000;
constexpr std::int64_t kHeardLaterIsHole = 1'000'000;

// The probe's own loop, run until `done` or until the server has had its time.
bool iterateUntil(pa_mainloop* loop, const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (pa_mainloop_prepare(loop, 20'000) < 0 || pa_mainloop_poll(loop) < 0 ||
            pa_mainloop_dispatch(loop) < 0)
            return false;
    }
    return true;
}

struct RateProbe {
    std::string defaultSink;
    int serverRate = 0;
    int sinkRate = 0;
    bool answered = false;
};

void takeServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
    auto& probe = *static_cast<RateProbe*>(userdata);
    if (info != nullptr) {
        probe.defaultSink = info->default_sink_name != nullptr ? info->default_sink_name : "";
        probe.serverRate = static_cast<int>(info->sample_spec.rate);
    }
    probe.answered = true;
}

void takeSinkInfo(pa_context*, const pa_sink_info* info, int last, void* userdata) {
    auto& probe = *static_cast<RateProbe*>(userdata);
    if (info != nullptr) probe.sinkRate = static_cast<int>(info->sample_spec.rate);
    if (last != 0) probe.answered = true;
}

// Asks the server and waits for its answer, within the time it has.
template <class Ask>
bool askAndWait(pa_mainloop* loop, RateProbe& probe, Ask ask) {
    probe.answered = false;
    pa_operation* operation = ask();
    if (operation == nullptr) return false;
    const bool answered = iterateUntil(loop, [&] { return probe.answered; });
    pa_operation_unref(operation);
    return answered;
}

std::optional<int> askRate(pa_mainloop* loop, pa_context* context) {
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return std::nullopt;
    const auto settled = [context] {
        const pa_context_state_t state = pa_context_get_state(context);
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    };
    if (!iterateUntil(loop, settled) || pa_context_get_state(context) != PA_CONTEXT_READY)
        return std::nullopt;
    RateProbe probe;
    if (!askAndWait(loop, probe,
                    [&] { return pa_context_get_server_info(context, &takeServerInfo, &probe); }))
        return std::nullopt;
    if (!probe.defaultSink.empty())
        askAndWait(loop, probe, [&] {
            return pa_context_get_sink_info_by_name(context, probe.defaultSink.c_str(),
                                                    &takeSinkInfo, &probe);
        });
    const int rate = probe.sinkRate > 0 ? probe.sinkRate : probe.serverRate;
    if (rate <= 0) return std::nullopt;
    return rate;
}

std::int64_t realtimeMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return std::int64_t{now.tv_sec} * 1'000'000 + now.tv_nsec / 1000;
}

// When the stream's first frame is heard on the steady clock, from the
// server's last timing of a stream that plays: the frame it was reading at
// that moment (its system clock) is heard after the sink's latency.
std::optional<std::int64_t> firstFrameHeardAt(const pa_timing_info* timing, int rate) {
    if (timing == nullptr || timing->playing == 0 || timing->read_index_corrupt != 0)
        return std::nullopt;
    const auto realtimeAhead = microsecondsAhead(&realtimeMicroseconds);
    if (!realtimeAhead) return std::nullopt;
    const std::int64_t takenAt =
        std::int64_t{timing->timestamp.tv_sec} * 1'000'000 + timing->timestamp.tv_usec;
    const auto sinkLatency = static_cast<std::int64_t>(timing->sink_usec);
    return (takenAt - *realtimeAhead + sinkLatency) * 1000 -
           nanosecondsIn(timing->read_index / static_cast<std::int64_t>(kFrameBytes), rate);
}

void onContextState(pa_context* context, void* device) {
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
        static_cast<PulseDevice*>(device)->failed();
}

void onStreamState(pa_stream* stream, void* device) {
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        static_cast<PulseDevice*>(device)->failed();
}

void onUnderflow(pa_stream*, void* device) {
    static_cast<PulseDevice*>(device)->underflow();
}

void onWrite(pa_stream*, std::size_t bytes, void* device) {
    static_cast<PulseDevice*>(device)->write(bytes);
}

// With the loop's lock held: lets the loop run until `settled` says yes
// (true) or no (false), or the server has had its time (false).
bool waitLocked(pa_threaded_mainloop* loop, const std::function<std::optional<bool>()>& settled) {
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
    for (;;) {
        if (const auto answer = settled()) return *answer;
        if (std::chrono::steady_clock::now() > deadline) return false;
        pa_threaded_mainloop_unlock(loop);
        std::this_thread::sleep_for(5ms);
        pa_threaded_mainloop_lock(loop);
    }
}

}  // namespace

std::optional<int> PulseDevice::serverRate() {
    pa_mainloop* loop = pa_mainloop_new();
    if (loop == nullptr) return std::nullopt;
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), kClientName);
    std::optional<int> rate;
    if (context != nullptr) {
        rate = askRate(loop, context);
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
    pa_mainloop_free(loop);
    return rate;
}

PulseDevice::PulseDevice(Mixer& mixer, int bufferFrames)
    : mixer_(mixer), bufferFrames_(bufferFrames), watch_(mixer.sampleRate()) {}

bool PulseDevice::open() {
    if (isOpen()) return true;
    mainloop_ = pa_threaded_mainloop_new();
    if (mainloop_ == nullptr) return false;
    failed_.store(false, std::memory_order_release);
    priorityRaised_ = false;  // a new thread comes with the loop
    streamFrames_ = 0;
    heardFrom_.reset();
    watch_.restart();
    underflowsSeen_ = underflows_.load(std::memory_order_acquire);
    pa_threaded_mainloop_lock(mainloop_);
    const bool started = pa_threaded_mainloop_start(mainloop_) == 0 && connect() && startStream();
    pa_threaded_mainloop_unlock(mainloop_);
    if (!started) {
        close();
        return false;
    }
    told_ = false;  // a later loss is told again
    return true;
}

bool PulseDevice::connect() {
    context_ = pa_context_new(pa_threaded_mainloop_get_api(mainloop_), kClientName);
    if (context_ == nullptr) return false;
    pa_context_set_state_callback(context_, &onContextState, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        tellOnce(std::string("no PulseAudio server yet: ") +
                 pa_strerror(pa_context_errno(context_)));
        return false;
    }
    const bool ready = waitLocked(mainloop_, [this]() -> std::optional<bool> {
        const pa_context_state_t state = pa_context_get_state(context_);
        if (state == PA_CONTEXT_READY) return true;
        if (!PA_CONTEXT_IS_GOOD(state)) return false;
        return std::nullopt;
    });
    if (!ready) tellOnce("no PulseAudio server yet");
    return ready;
}

bool PulseDevice::startStream() {
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(mixer_.sampleRate()),
                              static_cast<std::uint8_t>(Sample::kChannels)};
    stream_ = pa_stream_new(context_, "beat", &spec, nullptr);
    if (stream_ == nullptr) return false;
    pa_stream_set_state_callback(stream_, &onStreamState, this);
    pa_stream_set_write_callback(stream_, &onWrite, this);
    pa_stream_set_underflow_callback(stream_, &onUnderflow, this);
    // The target length is the latency in all, which the server splits
    // between our queue and its sink; it asks for more whenever a quarter
    // of it has played.
    const auto target = static_cast<std::uint32_t>(bufferFrames_ * kFrameBytes);
    const pa_buffer_attr attributes{static_cast<std::uint32_t>(-1), target,
                                    static_cast<std::uint32_t>(-1), target / 4,
                                    static_cast<std::uint32_t>(-1)};
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE);
    if (pa_stream_connect_playback(stream_, nullptr, &attributes, flags, nullptr, nullptr) < 0)
        return false;
    const bool ready = waitLocked(mainloop_, [this]() -> std::optional<bool> {
        const pa_stream_state_t state = pa_stream_get_state(stream_);
        if (state == PA_STREAM_READY) return true;
        if (!PA_STREAM_IS_GOOD(state)) return false;
        return std::nullopt;
    });
    if (!ready) tellOnce("the PulseAudio server took no stream");
    return ready;
}

void PulseDevice::close() {
    if (mainloop_ == nullptr) return;
    pa_threaded_mainloop_lock(mainloop_);
    if (stream_ != nullptr) {
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }
    if (context_ != nullptr) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    pa_threaded_mainloop_unlock(mainloop_);
    pa_threaded_mainloop_stop(mainloop_);
    pa_threaded_mainloop_free(mainloop_);
    mainloop_ = nullptr;
}

bool PulseDevice::lost() {
    if (!isOpen()) return false;
    return failed_.load(std::memory_order_acquire) || watch_.stalled();
}

bool PulseDevice::ranDry() {
    const std::uint64_t underflows = underflows_.load(std::memory_order_acquire);
    const bool ran = underflows != underflowsSeen_;
    underflowsSeen_ = underflows;
    return ran;
}

// Until the server has told when the stream's first frame is heard, the
// stream plays silence (kLeadInNanoseconds at most), so that the grid joins
// a new stream by when its blocks are heard; from then on each block is
// heard as many frames after that as the stream had taken before it.
void PulseDevice::write(std::size_t bytes) {
    if (!priorityRaised_) {
        raiseThisThreadToRealTime();
        priorityRaised_ = true;
    }
    const std::int64_t now = steadyNanoseconds();
    const int rate = mixer_.sampleRate();
    watch_.callback(now, static_cast<int>(bytes / kFrameBytes));
    mixer_.tellDryRuns(underflows_.load(std::memory_order_acquire));
    if (streamFrames_ == 0) streamAskedAt_ = now;
    takeTiming();
    const bool leadIn = !heardFrom_ && now - streamAskedAt_ < kLeadInNanoseconds;
    // Untold, what is written now is heard after the queue the stream keeps.
    if (!heardFrom_) mixer_.setOutputLatency(nanosecondsIn(bufferFrames_, rate));
    std::int64_t done = 0;
    while (bytes >= kFrameBytes) {
        void* data = nullptr;
        std::size_t size = bytes;
        if (pa_stream_begin_write(stream_, &data, &size) < 0 || data == nullptr) return;
        size -= size % kFrameBytes;
        if (size == 0) {
            pa_stream_cancel_write(stream_);
            return;
        }
        const auto frames = static_cast<int>(size / kFrameBytes);
        const std::int64_t at = now + nanosecondsIn(done, rate);
        if (leadIn) {
            std::fill_n(static_cast<float*>(data), frames * Sample::kChannels, 0.0f);
        } else {
            if (heardFrom_)
                mixer_.setHeardLatency(*heardFrom_ + nanosecondsIn(streamFrames_, rate) - at);
            mixer_.render(static_cast<float*>(data), frames, at);
        }
        pa_stream_write(stream_, data, size, nullptr, 0, PA_SEEK_RELATIVE);
        bytes -= size;
        done += frames;
        streamFrames_ += frames;
    }
}

// The server's timing of the stream, as fresh as its last update, which it
// sends by itself. Its frames heard later than by the last timing, by more
// than the timing's own jitter (microseconds), is a hole in the stream.
void PulseDevice::takeTiming() {
    const auto heard = firstFrameHeardAt(pa_stream_get_timing_info(stream_), mixer_.sampleRate());
    if (!heard) return;
    const std::int64_t later = heardFrom_ ? *heard - *heardFrom_ : 0;
    mixer_.tellHeardLater(later > kHeardLaterIsHole ? later : 0);
    heardFrom_ = heard;
}

void PulseDevice::tellOnce(const std::string& problem) {
    if (!told_) std::fprintf(stderr, "trovik: %s\n", problem.c_str());
    told_ = true;
}

}  // namespace trovik
