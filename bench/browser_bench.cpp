// SPDX-License-Identifier: GPL-3.0-or-later
// How long the sample browser takes to show a very large sample folder, how
// long of that the user-interface thread is held, and what a tick of its sync
// timer costs when nothing changed.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>

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

// Runs the event loop until `list` has shown what it was asked for.
template <typename List>
void waitUntilShown(const List& list) {
    while (list.isReading()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// A list beside the large folder, showing the empty one between two runs.
template <typename List>
struct ListBesideLargeFolder {
    const LargeFolder folder;
    List list;

    ListBesideLargeFolder() { waitUntilShown(list); }
    void showEmptyFolder() {
        list.setPath(folder.empty);
        waitUntilShown(list);
    }
};

void BM_ReadWavNamesOfLargeFolder(benchmark::State& state) {
    const LargeFolder folder;
    for (auto _ : state) benchmark::DoNotOptimize(trovik::readWavFileNames(folder.large));
}
BENCHMARK(BM_ReadWavNamesOfLargeFolder)->Iterations(kListings)->Unit(benchmark::kMillisecond);

// From setPath to the list showing the large folder.
template <typename List>
void BM_ListShowsLargeFolder(benchmark::State& state) {
    ListBesideLargeFolder<List> rig;
    for (auto _ : state) {
        rig.list.setPath(rig.folder.large);
        waitUntilShown(rig.list);
        state.PauseTiming();
        rig.showEmptyFolder();
        state.ResumeTiming();
    }
}
BENCHMARK_TEMPLATE(BM_ListShowsLargeFolder, trovik::FileListBox)
    ->Iterations(kListings)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_ListShowsLargeFolder, trovik::DirListBox)
    ->Iterations(kListings)
    ->Unit(benchmark::kMillisecond);

template <typename Work>
double secondsTaken(Work work) {
    const auto begin = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

// The longest the user-interface thread is held at once while a list shows
// the large folder: the call to setPath, or one turn of the event loop (the
// one that fills the list). The reading itself runs on a worker meanwhile.
template <typename List>
void BM_LongestHoldWhileShowingLargeFolder(benchmark::State& state) {
    ListBesideLargeFolder<List> rig;
    for (auto _ : state) {
        double longest = secondsTaken([&] { rig.list.setPath(rig.folder.large); });
        while (rig.list.isReading())
            longest = std::max(longest, secondsTaken([] { QCoreApplication::processEvents(); }));
        state.SetIterationTime(longest);
        rig.showEmptyFolder();
    }
}
BENCHMARK_TEMPLATE(BM_LongestHoldWhileShowingLargeFolder, trovik::FileListBox)
    ->Iterations(kListings)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_LongestHoldWhileShowingLargeFolder, trovik::DirListBox)
    ->Iterations(kListings)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_TickWithNothingChanged(benchmark::State& state) {
    trovik::DriveListBox Drive1;
    trovik::DirListBox Dir1;
    trovik::FileListBox File1;
    const LargeFolder folder;
    trovik::SampleBrowser browser({Drive1, Dir1, File1});
    Dir1.setPath(folder.large);
    waitUntilShown(Dir1);
    browser.Timer4_Timer();
    waitUntilShown(File1);
    for (auto _ : state) browser.Timer4_Timer();
}
BENCHMARK(BM_TickWithNothingChanged)->Iterations(kTicks)->Unit(benchmark::kNanosecond);

}  // namespace
