// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "sequencer/beat_snapshot.h"
#include "sound/drum_kit.h"
#include "sound/mixer.h"
#include "sound/sample_cache.h"
#include "sound/track_samples.h"
#include "sound/track_slots.h"

namespace trovik::bench {
namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 512;

BeatSnapshot everyCellOn(int intervalMs) {
    BeatSnapshot beat;
    beat.cellsOn = (std::uint64_t{1} << kCellCount) - 1;
    beat.interval = static_cast<std::int16_t>(intervalMs);
    return beat;
}

// The audio callback's work for one 512-frame block at 48 kHz while all
// three tracks hit on every step, a step every 5 ms: two steps of three
// hits each fall inside the block, and the voice plays between them.
void Mixer_RenderBlockWithHits(benchmark::State& state) {
    SequencerLink link;
    TrackSlots slots;
    Mixer mixer(link, slots, kRate);
    const auto bass = Sample::fromInterleaved(std::vector<float>(kRate * 2, 0.25f));
    const auto snare = Sample::fromInterleaved(std::vector<float>(kRate * 2, 0.5f));
    slots.offer(Track::Bass, *bass);
    slots.offer(Track::Snare, *snare);
    slots.offer(Track::Effect, *bass);
    link.snapshots.write(everyCellOn(5));
    std::vector<float> out(kBlock * Sample::kChannels);
    for (auto _ : state) {
        mixer.render(out.data(), kBlock, 0);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["steps"] = static_cast<double>(link.feedback.read().ticks);
}
BENCHMARK(Mixer_RenderBlockWithHits);

// The same block with a new sample taken from its slot, and the one it
// replaces handed back, at every block.
void Mixer_RenderBlockTakingANewSample(benchmark::State& state) {
    SequencerLink link;
    TrackSlots slots;
    Mixer mixer(link, slots, kRate);
    const auto first = Sample::fromInterleaved(std::vector<float>(kRate * 2, 0.25f));
    const auto second = Sample::fromInterleaved(std::vector<float>(kRate * 2, 0.5f));
    link.snapshots.write(everyCellOn(5));
    std::vector<float> out(kBlock * Sample::kChannels);
    bool odd = false;
    for (auto _ : state) {
        slots.offer(Track::Bass, odd ? *first : *second);
        odd = !odd;
        mixer.render(out.data(), kBlock, 0);
        while (slots.takeReleased() != nullptr) {
        }
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(Mixer_RenderBlockTakingANewSample);

// The watcher thread's look before a step when no file changed: a stat()
// per track, nothing decoded, nothing offered. The files are first left
// alone for longer than the file system's timestamp step.
void TrackSamples_LookWithNothingChanged(benchmark::State& state) {
    const auto folder = scratchFolder();
    const std::string effect = writeWavOfSize(folder / "effect.wav", 1 << 16);
    const std::string bass = writeWavOfSize(folder / "bass.wav", 1 << 16);
    const std::string snare = writeWavOfSize(folder / "snare.wav", 1 << 16);
    // Until then the cache decodes a file again at every look.
    std::this_thread::sleep_for(
        std::chrono::nanoseconds(SampleCache::kTimestampStepNanoseconds + 100'000'000));
    SequencerLink link;
    TrackSlots slots;
    const DrumKit drumKit(folder);
    TrackSamples samples(slots, link, drumKit, kRate);
    samples.setEffectPath(effect);
    samples.lookNow();
    for (auto _ : state) samples.lookNow();
    std::filesystem::remove_all(folder);
}
BENCHMARK(TrackSamples_LookWithNothingChanged);

// A 1 MB file that is new to the cache (or changed on disk) at every call:
// its first chunk decoded at once, at the file's own rate and resampled.
void SampleCache_First1MBFile(benchmark::State& state) {
    const auto folder = scratchFolder();
    const std::string path = writeWavOfSize(folder / "long.wav", 1 << 20);
    SampleCache cache(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        touch(path);
        cache.collectDecoded();
        state.ResumeTiming();
        benchmark::DoNotOptimize(cache.get(path));
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(SampleCache_First1MBFile)->Arg(44100)->Arg(48000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace trovik::bench
