#include <QApplication>

#include "audio_device.h"
#include "drum_kit.h"
#include "form1.h"
#include "mixer.h"
#include "wav_player.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trovik Beat Maker"));

    trovik::Mixer mixer;
    const trovik::DrumKit drumKit(
        trovik::DrumKit::findDataFolder(QCoreApplication::applicationDirPath().toStdString()));
    trovik::AudioDevice device(mixer);
    trovik::WavPlayer player(mixer, drumKit, device.sampleRate());

    trovik::Form1 form(player);
    form.showCentred();
    const int status = QApplication::exec();

    // The audio thread may still be reading a sample the player owns.
    device.close();
    return status;
}
