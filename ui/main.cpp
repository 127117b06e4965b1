#include <QApplication>

#include "sequencer/beat_model.h"
#include "sequencer/sequencer_link.h"
#include "sound/drum_kit.h"
#include "sound/sound_engine.h"
#include "ui/accessibility.h"
#include "ui/app_icon.h"
#include "ui/app_identity.h"
#include "ui/form1.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(trovik::kApplicationTitle);
    QApplication::setApplicationVersion(trovik::kVersionText);
    QApplication::setWindowIcon(trovik::applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("trovik"));
    trovik::installAccessibleToggles();

    // The beat model writes the beat to the link; the sound engine's audio
    // thread walks the steps from it.
    trovik::SequencerLink link;
    trovik::BeatModel beat(link);
    trovik::SoundEngine::prepareProcess();
    trovik::SoundEngine sound(
        trovik::DrumKit::findDataFolder(QCoreApplication::applicationDirPath().toStdString()),
        link);
    QObject::connect(&beat, &trovik::BeatModel::effectPathChanged, &beat,
                     [&sound, &beat] { sound.setEffectPath(beat.effectFileName()); });

    trovik::Form1 form(beat);
    form.showCentred();
    return QApplication::exec();
}
