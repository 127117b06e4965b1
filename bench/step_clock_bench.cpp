// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>

#include "sequencer/sequencer_link.h"
#include "sequencer/step_sequencer.h"

namespace trovik::bench {
namespace {

// Counts the hits, so that the walk cannot be optimised away.
class CountedSounds : public StepSounds {
  public:
    void PlaySample(Track, int frameOffset) override { total += frameOffset + 1; }
    long total = 0;
};

// The step clock's share of one 512-frame block at 48 kHz, with a step of
// three hits every 5 ms (two in each block), and a new snapshot of the beat
// read at every block as while the user edits it.
void StepSequencer_WalkBlockWithThreeHitsAStep(benchmark::State& state) {
    SequencerLink link;
    StepSequencer steps(link, 48000);
    BeatSnapshot beat;
    beat.cellsOn = (std::uint64_t{1} << kCellCount) - 1;
    beat.interval = 5;
    CountedSounds sounds;
    for (auto _ : state) {
        link.snapshots.write(beat);
        steps.walk(512, sounds, 0);
    }
    benchmark::DoNotOptimize(sounds.total);
    state.counters["steps"] = static_cast<double>(link.feedback.read().ticks);
}
BENCHMARK(StepSequencer_WalkBlockWithThreeHitsAStep);

// A block with no step in it: the cost every block pays.
void StepSequencer_WalkBlockWithoutAStep(benchmark::State& state) {
    SequencerLink link;
    StepSequencer steps(link, 48000);
    BeatSnapshot beat;
    beat.interval = 1000;
    link.snapshots.write(beat);
    CountedSounds sounds;
    for (auto _ : state) steps.walk(512, sounds, 0);
    benchmark::DoNotOptimize(sounds.total);
}
BENCHMARK(StepSequencer_WalkBlockWithoutAStep);

}  // namespace
}  // namespace trovik::bench
