// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <ostream>
#include <string>

namespace trovik::render {

// "trovik: rendering out.wav: 42%", rewritten in place on a terminal once
// the work has taken long enough to be worth watching.
class ProgressLine {
  public:
    // `out` may be null: then nothing is shown.
    ProgressLine(std::ostream* out, std::string fileName);
    // Ends the line, if one was shown.
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void update(double fractionDone);

  private:
    using Clock = std::chrono::steady_clock;

    std::ostream* out_;
    std::string fileName_;
    Clock::time_point started_ = Clock::now();
    Clock::time_point shown_{};
    bool showing_ = false;
};

}  // namespace trovik::render
