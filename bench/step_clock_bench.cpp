#include <benchmark/benchmark.h>

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QWidget>

#include "bench/bench_support.h"
#include "sequencer/beat_pattern.h"
#include "sequencer/control_timer.h"
#include "sequencer/step_clock.h"
#include "sound/drum_kit.h"
#include "sound/wav_player.h"

namespace trovik::bench {
namespace {

// One tick of the step clock with all three tracks hitting, through the real
// player (the effect is the bass sample under its full path).
void StepClock_TickWithThreeHits(benchmark::State& state) {
    QWidget owner;
    std::array<QAbstractButton*, kCellCount> cells{};
    for (auto& cell : cells) cell = new QPushButton(kCellOn, &owner);
    std::array<QLabel*, 3> switches{};
    for (auto& s : switches) {
        s = new QLabel(QStringLiteral("O"), &owner);
        setSwitchColour(*s, kSwitchSounds);
    }
    auto* position = new QScrollBar(Qt::Horizontal, &owner);
    position->setRange(1, 16);
    auto* effectPath =
        new QLabel(QString::fromStdString(std::string(TROVIK_SAMPLE_DIR) + "/bass.wav"), &owner);

    Mixer mixer;
    const DrumKit drumKit(TROVIK_SAMPLE_DIR);
    WavPlayer player(mixer, drumKit, 44100);
    const BeatPattern pattern(cells, switches);
    const ControlTimer timer(QStringLiteral("Timer1"), 0, Qt::PreciseTimer);
    StepClock clock(pattern, *position, *effectPath, player, timer);
    clock.Timer1_Timer();
    for (auto _ : state) {
        clock.Timer1_Timer();
        state.PauseTiming();
        renderOneBuffer(mixer);
        state.ResumeTiming();
    }
}
BENCHMARK(StepClock_TickWithThreeHits);

}  // namespace
}  // namespace trovik::bench
