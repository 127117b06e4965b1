// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>

#include "beatfile/beat_file.h"

namespace trovik::bench {
namespace {

BeatValues workedExample() {
    BeatValues beat{"Beat name here", "Author", "Info", 150, {}};
    for (int number : {3, 7, 11, 15, 22, 30})
        beat.cells[static_cast<std::size_t>(number - 3)] = QStringLiteral("O");
    return beat;
}

void BeatFile_Write(benchmark::State& state) {
    const BeatValues beat = workedExample();
    for (auto _ : state) benchmark::DoNotOptimize(writeBeatFile(beat));
}
BENCHMARK(BeatFile_Write);

void BeatFile_Read(benchmark::State& state) {
    const QByteArray bytes = *writeBeatFile(workedExample());
    for (auto _ : state) benchmark::DoNotOptimize(readBeatFile(bytes));
}
BENCHMARK(BeatFile_Read);

}  // namespace
}  // namespace trovik::bench
