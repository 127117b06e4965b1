// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>
#include <vector>

#include "sequencer/beat_snapshot.h"
#include "sound/drum_kit.h"
#include "sound/mixer.h"
#include "sound/sample_cache.h"
#include "sound/track_samples.h"
#include "sound/track_slots.h"
#include "tests/sound/test_wavs.h"

namespace trovik::bench {
namespace {

using testing::TempFolder;

constexpr int kRate = 48000;
constexpr int kBlock = 512;

// A 16-bit stereo 44.1 kHz tone of about `bytes` bytes of sound.
std::string writeWavOfSize(const std::filesystem::path& path, std::size_t bytes) {
    return testing::writeToneWav(path, SF_FORMAT_PCM_16, 2, 44100, 350.0,
                                 static_cast<double>(bytes) / 4 / 44100);
}

// Makes the file look changed, so that the next play decodes it again.
void touch(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    timespec times[2] = {info.st_atim, info.st_mtim};
    times[1].tv_nsec = (times[1].tv_nsec + 1) % 1'000'000'000;
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

BeatSnapshot everyCellOn(int intervalMs) {
    BeatSnapshot beat;
    beat.cellsOn = (std::uint64_t{1} << kCellCount) - 1;
    beat.interval = static_cast<std::int16_t>(intervalMs);
    return beat;
}

// A mixer at 48 kHz with every cell on, a step every 5 ms, and two samples
// of a second to play.
struct MixerRig {
    SequencerLink link;
    TrackSlots slots;
    Mixer mixer{link, slots, kRate};
    const std::unique_ptr<Sample> first =
        Sample::fromInterleaved(std::vector<float>(kRate * 2, 0.25f));
    const std::unique_ptr<Sample> second =
        Sample::fromInterleaved(std::vector<float>(kRate * 2, 0.5f));
    std::vector<float> out = std::vector<float>(kBlock * Sample::kChannels);

    MixerRig() { link.snapshots.write(everyCellOn(5)); }
    void renderBlock() {
        mixer.render(out.data(), kBlock, 0);
        benchmark::DoNotOptimize(out.data());
    }
};

// The audio callback's work for one 512-frame block while all three tracks
// hit on every step: two steps of three hits each fall inside the block, and
// the voice plays between them.
void Mixer_RenderBlockWithHits(benchmark::State& state) {
    MixerRig rig;
    rig.slots.offer(Track::Bass, *rig.first);
    rig.slots.offer(Track::Snare, *rig.second);
    rig.slots.offer(Track::Effect, *rig.first);
    for (auto _ : state) rig.renderBlock();
    state.counters["steps"] = static_cast<double>(rig.link.feedback.read().ticks);
}
BENCHMARK(Mixer_RenderBlockWithHits);

// The same block with a new sample taken from its slot, and the one it
// replaces handed back, at every block.
void Mixer_RenderBlockTakingANewSample(benchmark::State& state) {
    MixerRig rig;
    bool odd = false;
    for (auto _ : state) {
        rig.slots.offer(Track::Bass, odd ? *rig.first : *rig.second);
        odd = !odd;
        rig.renderBlock();
        while (rig.slots.takeReleased() != nullptr) {
        }
    }
}
BENCHMARK(Mixer_RenderBlockTakingANewSample);

// The track samples thread's periodic look when no file changed: a stat()
// per track, nothing decoded, nothing offered. The files are first left
// alone for longer than the file system's timestamp step.
void TrackSamples_LookWithNothingChanged(benchmark::State& state) {
    const TempFolder folder;
    const std::string effect = writeWavOfSize(folder.path() / "effect.wav", 1 << 16);
    writeWavOfSize(folder.path() / "bass.wav", 1 << 16);
    writeWavOfSize(folder.path() / "snare.wav", 1 << 16);
    // Until then the cache decodes a file again at every look.
    std::this_thread::sleep_for(
        std::chrono::nanoseconds(SampleCache::kTimestampStepNanoseconds + 100'000'000));
    TrackSlots slots;
    const DrumKit drumKit(folder.path());
    TrackSamples samples(slots, drumKit, kRate);
    samples.setEffectPath(effect);
    samples.lookNow();
    for (auto _ : state) samples.lookNow();
}
BENCHMARK(TrackSamples_LookWithNothingChanged);

// A 1 MB file that is new to the cache (or changed on disk) at every call:
// its first chunk decoded at once, at the file's own rate and resampled.
void SampleCache_First1MBFile(benchmark::State& state) {
    const TempFolder folder;
    const std::string path = writeWavOfSize(folder.path() / "long.wav", 1 << 20);
    SampleCache cache(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        touch(path);
        cache.collectDecoded();
        state.ResumeTiming();
        benchmark::DoNotOptimize(cache.get(path));
    }
}
BENCHMARK(SampleCache_First1MBFile)->Arg(44100)->Arg(48000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace trovik::bench
