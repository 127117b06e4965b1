// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "beatfile/beat_file.h"
#include "render/beat_render.h"
#include "tests/sound/test_wavs.h"

namespace trovik::bench {
namespace {

// The worked example beat: interval 150, bass steps 1, 5, 9, 13, snare 13
// and 5 (Command3, 7, 11, 15 and Command22, 30).
QByteArray workedExample() {
    BeatValues beat;
    beat.interval = 150;
    for (int command : {3, 7, 11, 15, 22, 30}) beat.cells[command - 3] = QStringLiteral("O");
    return writeBeatFile(beat).value();
}

// `trovik --render` of the worked example, 100 loops (4 minutes of sound)
// at 48 kHz in 16 bits, to a file in the temporary folder. The counter
// realtime_factor is how many times faster than the sound plays.
void Render_WorkedExample100Loops(benchmark::State& state) {
    const testing::TempFolder temp;
    const std::filesystem::path& folder = temp.path();
    const QByteArray beat = workedExample();
    std::ofstream(folder / "beat.tbk", std::ios::binary).write(beat.constData(), beat.size());
    RenderRequest request;
    request.beatFile = (folder / "beat.tbk").string();
    request.outputFile = (folder / "out.wav").string();
    request.loops = 100;
    request.dataFolder = TROVIK_SAMPLE_DIR;
    const double soundSeconds = 100 * 16 * 0.150;
    for (auto _ : state) {
        std::ostringstream errors;
        if (renderBeat(request, errors, nullptr) != 0) state.SkipWithError(errors.str().c_str());
    }
    state.counters["realtime_factor"] = benchmark::Counter(
        soundSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(Render_WorkedExample100Loops)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace trovik::bench
