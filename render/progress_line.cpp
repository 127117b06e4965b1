// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/progress_line.h"

#include <algorithm>
#include <cmath>

namespace trovik::render {
namespace {

constexpr auto kQuietFor = std::chrono::seconds(2);
constexpr auto kEvery = std::chrono::milliseconds(200);

}  // namespace

ProgressLine::ProgressLine(std::ostream* out, std::string fileName)
    : out_(out), fileName_(std::move(fileName)) {}

ProgressLine::~ProgressLine() {
    if (showing_) *out_ << '\n' << std::flush;
}

void ProgressLine::update(double fractionDone) {
    if (out_ == nullptr) return;
    const Clock::time_point now = Clock::now();
    if (now - started_ < kQuietFor || (showing_ && now - shown_ < kEvery)) return;
    const int percent = static_cast<int>(std::floor(std::clamp(fractionDone, 0.0, 1.0) * 100));
    *out_ << "\rtrovik: rendering " << fileName_ << ": " << percent << "%" << std::flush;
    showing_ = true;
    shown_ = now;
}

}  // namespace trovik::render
