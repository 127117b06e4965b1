// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>

#include "sequencer/beat_model.h"

namespace trovik {

// How a shared session moves the beat model, on the user-interface thread:
// its start and stop as clicks on Play and Stop, its tempo as the nearest
// whole interval. While it moves the model, applying() is true, so that the
// model's transportChanged is not taken for the user's own move and sent
// back. Each tempo is one line on `log`, and a tempo whose step lies outside
// 1..999 ms is said once.
class ModelSteering {
  public:
    ModelSteering(BeatModel& model, std::FILE* log, const char* source)
        : model_(model), log_(log), source_(source) {}

    bool applying() const { return applying_; }

    void run(bool running) {
        if (running == model_.running()) return;
        applying_ = true;
        if (running) {
            model_.Command1_Click();
        } else {
            model_.Command2_Click();
        }
        applying_ = false;
    }

    // Returns the interval shown.
    int takeTempo(double bpm) {
        std::fprintf(log_, "trovik: %s: tempo %.2f BPM\n", source_, bpm);
        const ShownInterval shown = shownInterval(bpm);
        if (shown.clamped && !clampTold_) {
            std::fprintf(log_, "trovik: %s: a step of %.1f ms is shown as %d ms\n", source_,
                         stepMilliseconds(bpm), shown.milliseconds);
            clampTold_ = true;
        }
        std::fflush(log_);
        applying_ = true;
        model_.setInterval(shown.milliseconds);
        applying_ = false;
        return shown.milliseconds;
    }

  private:
    BeatModel& model_;
    std::FILE* log_;
    const char* source_;
    bool applying_ = false;
    bool clampTold_ = false;
};

}  // namespace trovik
