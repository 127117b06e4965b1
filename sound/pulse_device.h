// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "sound/callback_watch.h"
#include "sound/mixer.h"
#include "sound/output_device.h"

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

namespace trovik {

// A native stream to a PulseAudio server (or PipeWire's PulseAudio
// service). The server is asked for a latency of the buffer's frames in all
// (its queue of ours and its sink's share; PA_STREAM_ADJUST_LATENCY) and
// asks for more in parts of a quarter of it; the mixer renders each part on the
// stream's own thread, raised to real-time priority, when the server asks.
// So the server keeps a short, steady queue of ours, where SDL's stream
// hands it one whole buffer at a time.
class PulseDevice : public OutputDevice {
  public:
    // The rate of the default sink of a server that answers, without
    // starting one.
    static std::optional<int> serverRate();

    PulseDevice(Mixer& mixer, int bufferFrames);
    ~PulseDevice() override { close(); }
    PulseDevice(const PulseDevice&) = delete;
    PulseDevice& operator=(const PulseDevice&) = delete;

    bool open() override;
    // Never waits on the server: a server that hangs is only let go.
    void close() override;
    bool isOpen() const override { return mainloop_ != nullptr; }
    // The server dropped the connection or the stream, or it stopped asking.
    bool lost() override;
    // The server found our queue empty since the last look: it tells so
    // itself, which the times of its requests would only hint at.
    bool ranDry() override;
    // The queue keeps its length. On a small guest a stall of the machine
    // empties a queue of 2048 frames as it does one of 1024, so growing
    // would only add latency for the rest of the session
    // (docs/PERFORMANCE.md).
    bool growBuffer() override { return false; }
    int bufferFrames() const override { return bufferFrames_; }

    // The stream's thread, when the server asks for `bytes`.
    void write(std::size_t bytes);
    // The stream's thread, when the connection or the stream fails.
    void failed() { failed_.store(true, std::memory_order_release); }
    // The stream's thread, when the server found our queue empty.
    void underflow() { underflows_.fetch_add(1, std::memory_order_release); }

  private:
    bool connect();
    bool startStream();
    void takeTiming();
    void tellOnce(const std::string& problem);

    Mixer& mixer_;
    int bufferFrames_;
    pa_threaded_mainloop* mainloop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    CallbackWatch watch_;
    std::atomic<bool> failed_{false};
    std::atomic<std::uint64_t> underflows_{0};
    std::uint64_t underflowsSeen_ = 0;  // the looking thread's
    bool priorityRaised_ = false;       // the stream's thread only
    // The stream's thread only: frames written to this stream, when it
    // first asked, and when its first frame is heard, once the server told.
    std::int64_t streamFrames_ = 0;
    std::int64_t streamAskedAt_ = 0;
    std::optional<std::int64_t> heardFrom_;
    bool told_ = false;
};

}  // namespace trovik
