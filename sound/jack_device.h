// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sound/callback_watch.h"
#include "sound/frame_clock.h"
#include "sound/mixer.h"
#include "sound/output_device.h"

// JACK's own names for its client and port types.
struct _jack_client;  // NOLINT(bugprone-reserved-identifier)
struct _jack_port;    // NOLINT(bugprone-reserved-identifier)

namespace trovik {

// The output through a running JACK server: a client named "trovik" with
// two audio output ports, connected to the first two physical playback
// ports, at the server's rate and period. JACK's process thread renders the
// mixer. The client never starts a server: without one, open() fails and
// the keeper tries again later. When the server goes away, the device is
// lost; the keeper closes it and opens it again once a server answers.
class JackDevice : public OutputDevice {
  public:
    // The rate of a JACK server that answers, without starting one.
    static std::optional<int> serverRate();

    explicit JackDevice(Mixer& mixer);
    ~JackDevice() override { close(); }
    JackDevice(const JackDevice&) = delete;
    JackDevice& operator=(const JackDevice&) = delete;

    bool open() override;
    void close() override;
    bool isOpen() const override { return client_ != nullptr; }
    // The server shut down or dropped us, or the process callback stalled.
    bool lost() override;
    // JACK's period is the server's; a buffer of ours never changes it.
    int bufferFrames() const override { return periodFrames_; }

    // JACK's process thread.
    int process(std::uint32_t frames);
    // Any thread of JACK's, when the server goes away.
    void serverGone() { serverGone_.store(true, std::memory_order_release); }

  private:
    // The mixer renders interleaved frames into this, a block at a time,
    // and the process callback spreads them over the two ports.
    static constexpr int kScratchFrames = 1024;

    bool connectToPlayback();
    std::int64_t cycleStartOr(std::int64_t now) const;
    void tellOnce(const std::string& problem);

    Mixer& mixer_;
    _jack_client* client_ = nullptr;
    std::array<_jack_port*, Sample::kChannels> ports_{};
    std::vector<float> scratch_;
    CallbackWatch watch_;
    FrameClock frameClock_;  // process thread, but for open()
    std::atomic<bool> serverGone_{false};
    int periodFrames_ = 0;
    bool told_ = false;
};

}  // namespace trovik
