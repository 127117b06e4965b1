#include <benchmark/benchmark.h>

#include <vector>

#include "bench/bench_support.h"
#include "sound/drum_kit.h"
#include "sound/mixer.h"
#include "sound/sample_cache.h"
#include "sound/stream_clock.h"
#include "sound/stream_time.h"
#include "sound/wav_player.h"

namespace trovik::bench {
namespace {

void PlaySample_FilePlayedBefore(benchmark::State& state) {
    Mixer mixer;
    const DrumKit drumKit(TROVIK_SAMPLE_DIR);
    WavPlayer player(mixer, drumKit, 44100);
    player.PlaySample(DrumKit::kBassName);
    for (auto _ : state) {
        player.PlaySample(DrumKit::kBassName);
        state.PauseTiming();
        renderOneBuffer(mixer);
        state.ResumeTiming();
    }
}
BENCHMARK(PlaySample_FilePlayedBefore);

// A 1 MB file that is new to the player (or changed on disk) at every call.
void PlaySample_First1MBFile(benchmark::State& state) {
    const auto folder = scratchFolder();
    const std::string path = writeWavOfSize(folder / "long.wav", 1 << 20);
    Mixer mixer;
    const DrumKit drumKit(TROVIK_SAMPLE_DIR);
    WavPlayer player(mixer, drumKit, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        touch(path);
        renderOneBuffer(mixer);
        state.ResumeTiming();
        player.PlaySample(path);
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(PlaySample_First1MBFile)->Arg(44100)->Arg(48000)->Unit(benchmark::kMicrosecond);

// A hit of the step grid: the frame comes from the anchor, not from a fresh
// estimate, and the file was played before.
void PlaySampleAt_GridHitOnAFilePlayedBefore(benchmark::State& state) {
    Mixer mixer;
    const DrumKit drumKit(TROVIK_SAMPLE_DIR);
    StreamClock clock(48000);
    const auto start = StreamClock::Clock::now();
    clock.onCallback(0, start);
    StreamTime time(clock);
    time.now(start);
    WavPlayer player(mixer, drumKit, 48000, {&time, std::chrono::milliseconds(15)});
    std::vector<float> oneTick(960 * 2);  // 20 ms at 48 kHz: the stream keeps pace with the grid
    std::int64_t tick = 0;
    for (auto _ : state) {
        player.PlaySampleAt(DrumKit::kBassName, {start, std::chrono::milliseconds(20), ++tick});
        state.PauseTiming();
        mixer.render(oneTick.data(), 960);
        state.ResumeTiming();
    }
}
BENCHMARK(PlaySampleAt_GridHitOnAFilePlayedBefore);

void PlaySample_MissingFile(benchmark::State& state) {
    Mixer mixer;
    const DrumKit drumKit(TROVIK_SAMPLE_DIR);
    WavPlayer player(mixer, drumKit, 44100);
    for (auto _ : state) {
        player.PlaySample("/nonexistent/effect.wav");
        state.PauseTiming();
        renderOneBuffer(mixer);
        state.ResumeTiming();
    }
}
BENCHMARK(PlaySample_MissingFile);

// The audio callback's work for one 256-frame buffer while a sound plays,
// with a stop and start falling inside it.
void Mixer_RenderOneBuffer(benchmark::State& state) {
    Mixer mixer;
    const auto owned = Sample::fromInterleaved(std::vector<float>(44100 * 2, 0.25f));
    const Sample& sample = *owned;
    std::vector<float> out(256 * 2);
    for (auto _ : state) {
        const std::int64_t now = mixer.framesRendered();
        mixer.postStop(now + 100);
        mixer.postStart(sample, now + 100);
        mixer.render(out.data(), 256);
        while (mixer.takeReleased() != nullptr) {
        }
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(Mixer_RenderOneBuffer);

}  // namespace
}  // namespace trovik::bench
