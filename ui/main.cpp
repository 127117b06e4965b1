#include <QApplication>

#include "accessibility.h"
#include "app_icon.h"
#include "app_identity.h"
#include "audio_device.h"
#include "drum_kit.h"
#include "form1.h"
#include "hit_time.h"
#include "mixer.h"
#include "wav_player.h"

namespace {

// Every hit sounds this long after its step was due: one device buffer, so
// that a hit can always be placed in a buffer not yet rendered, plus room for
// a tick that runs a little late.
std::chrono::nanoseconds hitLatency(const trovik::AudioDevice& device) {
    if (!device.isOpen()) return {};
    constexpr std::chrono::microseconds kLateTickAllowance{4000};
    const std::chrono::nanoseconds buffer(std::int64_t{device.bufferFrames()} * 1'000'000'000 / device.sampleRate());
    return buffer + kLateTickAllowance;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(trovik::kApplicationTitle);
    QApplication::setApplicationVersion(trovik::kVersionText);
    QApplication::setWindowIcon(trovik::applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("trovik"));
    trovik::installAccessibleToggles();

    trovik::Mixer mixer;
    const trovik::DrumKit drumKit(
        trovik::DrumKit::findDataFolder(QCoreApplication::applicationDirPath().toStdString()));
    trovik::AudioDevice device(mixer);
    trovik::HitTime hitTime;
    trovik::WavPlayer player(mixer, drumKit, device.sampleRate(),
                             {&device.streamClock(), &hitTime, hitLatency(device)});

    trovik::Form1 form(player, hitTime);
    form.showCentred();
    const int status = QApplication::exec();

    // The audio thread may still be reading a sample the player owns.
    device.close();
    return status;
}
