// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "sequencer/beat_model.h"
#include "sequencer/step_timeline.h"
#include "sync/model_steering.h"

namespace ableton {
class Link;
}

namespace trovik {

// The beat in a Link session: tempo, the bar and start/stop shared with
// every Link program on the network.
//
// The audio thread asks span() where its block falls; it captures the
// session state for audio and nothing else of Link. While the session has
// no other peer, span() lets the step clock keep its own grid, so alone the
// program plays as it does without Link.
//
// On the user-interface thread it keeps the model and the session in step:
// the tempo control (a move or a Load) proposes 15000 / interval BPM, Play
// starts the session at its next bar, Stop stops it; the session's tempo
// sets the interval shown (the nearest whole ms), and a peer's start or stop
// clicks Play or Stop. It looks at the session every few milliseconds, so
// Link's own threads never touch the model. The number of peers and each
// tempo change coming from the session are one line each on `log`.
class LinkSync : public QObject, public StepTimeline {
    Q_OBJECT

  public:
    LinkSync(BeatModel& model, std::FILE* log, QObject* parent = nullptr);
    ~LinkSync() override;

    TimelineSpan span(std::int64_t heardAtNanoseconds, int frames, int sampleRate) override;

  private:
    // The host time of Link's clock at `steadyNanoseconds`. Audio thread.
    std::int64_t linkMicros(std::int64_t steadyNanoseconds) const {
        return steadyNanoseconds / 1000 + clockOffsetMicros_;
    }
    std::int64_t steadyHeardAt(std::int64_t told);
    bool readClockOffset();
    void proposeFromModel();
    void followSession();

    BeatModel& model_;
    std::FILE* log_;
    ModelSteering steering_;
    std::unique_ptr<ableton::Link> link_;
    std::int64_t clockOffsetMicros_ = 0;  // the audio thread's once it plays
    std::atomic<std::size_t> peers_{0};
    QTimer look_;
    // What the session and the model last agreed on.
    std::size_t peersTold_ = 0;
    double tempo_ = 0;
    int interval_ = 0;
    bool playing_ = false;
    // The audio thread's own: whether the session played at its last block.
    bool audioPlaying_ = false;
    // When the last block was taken to be heard, its length, and whether its
    // callback came more than 4 ms behind.
    std::int64_t heardAt_ = 0;
    std::int64_t length_ = 0;
    bool lateBefore_ = false;
};

}  // namespace trovik
