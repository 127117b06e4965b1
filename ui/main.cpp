#include <QApplication>

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

    trovik::SoundEngine::prepareProcess();
    // Destroyed after the window: the window's step clock plays through it.
    trovik::SoundEngine sound(
        trovik::DrumKit::findDataFolder(QCoreApplication::applicationDirPath().toStdString()));

    trovik::Form1 form(sound.player());
    form.showCentred();
    return QApplication::exec();
}
