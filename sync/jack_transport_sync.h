// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <cstdio>

#include "sequencer/beat_model.h"
#include "sequencer/step_timeline.h"
#include "sync/model_steering.h"

using jack_client_t = struct _jack_client;  // NOLINT(bugprone-reserved-identifier)

namespace trovik {

// The beat on the JACK transport, shared by every JACK client on the
// server: rolling starts ours, stopped stops it, and the steps stand where
// the transport's frame falls in its bar. With bars and beats from a
// timebase master, its tempo is ours (a beat is 4 steps) and step 1 falls on
// beat 1 of each bar, on the exact frame; without, the model's interval
// counts the steps from frame 0.
//
// The audio thread's span() only queries the transport (real-time safe),
// through a client of its own, and takes the frame it tells as the first of
// the block (JACK's period is rendered in one block up to 1024 frames).
// On the user-interface thread, Play and Stop start and stop the
// transport, and a look every 10 ms follows its start, stop and tempo. A
// server that goes away is looked for again, and followed when it is back.
class JackTransportSync : public QObject, public StepTimeline {
    Q_OBJECT

  public:
    JackTransportSync(BeatModel& model, std::FILE* log, QObject* parent = nullptr);
    ~JackTransportSync() override;

    TimelineSpan span(std::int64_t heardAtNanoseconds, int frames, int sampleRate) override;

  private:
    void proposeFromModel();
    void followTransport();
    bool connectClient();
    void retireClient();

    BeatModel& model_;
    std::FILE* log_;
    ModelSteering steering_;
    std::atomic<jack_client_t*> client_{nullptr};
    // Set by JACK's thread when the server went away.
    std::atomic<bool> serverGone_{false};
    std::atomic<int> interval_;
    QTimer look_;
    bool rolling_ = false;
    bool looked_ = false;
    int looksWithoutServer_ = 0;
    double tempo_ = 0;
};

}  // namespace trovik
