#include <QApplication>

#include "sequencer/timer_clock.h"
#include "sound/drum_kit.h"
#include "sound/sound_engine.h"
#include "sound/stream_time.h"
#include "ui/accessibility.h"
#include "ui/app_icon.h"
#include "ui/app_identity.h"
#include "ui/form1.h"

namespace {

// The step timer's time: the output stream's, so that its ticks keep pace
// with the sound card's clock rather than the system's.
class StreamTimerClock final : public trovik::TimerClock {
  public:
    explicit StreamTimerClock(trovik::StreamTime& time) : time_(time) {}
    Clock::time_point now() const override { return time_.now(Clock::now()); }

  private:
    trovik::StreamTime& time_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(trovik::kApplicationTitle);
    QApplication::setApplicationVersion(trovik::kVersionText);
    QApplication::setWindowIcon(trovik::applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("trovik"));
    trovik::installAccessibleToggles();

    trovik::SoundEngine::prepareProcess();
    // Destroyed after the window: the window's step clock plays through it.
    trovik::SoundEngine sound(
        trovik::DrumKit::findDataFolder(QCoreApplication::applicationDirPath().toStdString()));
    // After the engine: its own threads keep their ordinary priority.
    if (!trovik::SoundEngine::raiseStepTimerThread()) {
        qInfo("The step timer runs at normal priority: on a busy machine a hit may sound late.");
    }

    // Only Timer1 runs on the stream's time; the watchers keep the steady clock.
    StreamTimerClock stepTime(sound.streamTime());
    trovik::Form1 form(sound.player(), trovik::FormClocks{.steps = &stepTime});
    form.showCentred();
    return QApplication::exec();
}
