// How long the sample browser takes to show a very large sample folder, and
// what a tick of its sync timer costs when nothing changed.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include "browser/directory_reading.h"
#include "browser/sample_browser.h"

namespace {

constexpr int kFiles = 20000;
// Fixed counts, so that each benchmark makes its folder only once a run.
constexpr int kListings = 10;
constexpr int kTicks = 1000000;

// A folder of kFiles WAV files, their suffixes in mixed case, and a few
// subdirectories, beside an empty folder to switch to in between.
struct LargeFolder {
    QTemporaryDir tree;
    QString large = tree.filePath("large");
    QString empty = tree.filePath("empty");

    LargeFolder() {
        QDir(tree.path()).mkdir("large");
        QDir(tree.path()).mkdir("empty");
        QDir dir(large);
        for (int i = 0; i < kFiles; ++i) {
            const QString name =
                QStringLiteral("sample%1.%2").arg(i, 5, 10, QChar(u'0')).arg(i % 2 ? "wav" : "WAV");
            QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
        }
        for (int i = 0; i < 20; ++i) dir.mkdir(QStringLiteral("folder%1").arg(i));
    }
};

void BM_ReadWavNamesOfLargeFolder(benchmark::State& state) {
    const LargeFolder folder;
    for (auto _ : state) benchmark::DoNotOptimize(trovik::readWavFileNames(folder.large));
}
BENCHMARK(BM_ReadWavNamesOfLargeFolder)->Iterations(kListings)->Unit(benchmark::kMillisecond);

void BM_FileListShowsLargeFolder(benchmark::State& state) {
    const LargeFolder folder;
    trovik::FileListBox File1;
    for (auto _ : state) {
        File1.setPath(folder.large);
        state.PauseTiming();
        state.counters["listed"] = File1.count();
        File1.setPath(folder.empty);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FileListShowsLargeFolder)->Iterations(kListings)->Unit(benchmark::kMillisecond);

void BM_DirListOpensLargeFolder(benchmark::State& state) {
    const LargeFolder folder;
    trovik::DirListBox Dir1;
    for (auto _ : state) {
        Dir1.setPath(folder.large);
        state.PauseTiming();
        Dir1.setPath(folder.empty);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DirListOpensLargeFolder)->Iterations(kListings)->Unit(benchmark::kMillisecond);

void BM_TickWithNothingChanged(benchmark::State& state) {
    trovik::DriveListBox Drive1;
    trovik::DirListBox Dir1;
    trovik::FileListBox File1;
    QLabel Label7;
    const LargeFolder folder;
    trovik::SampleBrowser browser({Drive1, Dir1, File1, Label7});
    Dir1.setPath(folder.large);
    browser.Timer4_Timer();
    for (auto _ : state) browser.Timer4_Timer();
}
BENCHMARK(BM_TickWithNothingChanged)->Iterations(kTicks)->Unit(benchmark::kNanosecond);

}  // namespace
