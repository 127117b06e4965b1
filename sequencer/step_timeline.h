// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace trovik {

// A shared timeline the step clock may follow instead of its own grid: a
// session of beats that other programs play too. One step is a sixteenth
// note, so a beat is four steps and a bar of four beats is the 16 steps;
// step 1 falls on the first beat of the session's bar.
constexpr int kStepsPerBeat = 4;
constexpr int kBeatsPerBar = 4;
constexpr double kMillisecondsPerMinuteOfSteps = 60'000.0 / kStepsPerBeat;  // 15000

// The step length in ms of `bpm`, exact.
inline double stepMilliseconds(double bpm) {
    return kMillisecondsPerMinuteOfSteps / bpm;
}
// The tempo in BPM whose step is `intervalMs` long; 0 for no interval.
inline double tempoOfInterval(int intervalMs) {
    return intervalMs > 0 ? kMillisecondsPerMinuteOfSteps / intervalMs : 0.0;
}
// The whole interval the tempo control shows for `bpm`: the nearest, within
// 1..999 ms. `clamped` tells whether it had to be moved into that range.
struct ShownInterval {
    int milliseconds;
    bool clamped;
};
inline ShownInterval shownInterval(double bpm) {
    const double exact = bpm > 0 ? stepMilliseconds(bpm) : 1e9;
    const double nearest = std::round(exact);
    const double inRange = std::clamp(nearest, 1.0, 999.0);
    return {static_cast<int>(inRange), inRange != nearest};
}
// The step (1..16) of sixteenth `sixteenth` counted from a bar's first beat.
inline int stepOfSixteenth(std::int64_t sixteenth) {
    constexpr std::int64_t steps = std::int64_t{kStepsPerBeat} * kBeatsPerBar;
    return static_cast<int>((sixteenth % steps + steps) % steps) + 1;
}

// Where a block of frames falls on the timeline, as the timeline says.
struct TimelineSpan {
    bool follows = false;           // false: the step clock keeps its own grid
    bool playing = false;           // the session plays
    double sixteenthAt = 0;         // at the block's first frame; negative before the start
    double sixteenthsPerFrame = 0;  // 0: the position does not follow while stopped
};

// The timeline, asked by the audio thread once per block. Never allocates,
// locks or waits.
class StepTimeline {
  public:
    virtual ~StepTimeline() = default;
    // The block of `frames` frames at `sampleRate` whose first frame is
    // heard at `heardAtNanoseconds` on the steady clock.
    virtual TimelineSpan span(std::int64_t heardAtNanoseconds, int frames, int sampleRate) = 0;
};

}  // namespace trovik
