// SPDX-License-Identifier: GPL-3.0-or-later
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app/command_line.h"
#include "render/beat_render.h"
#include "sequencer/beat_model.h"
#include "sequencer/sequencer_link.h"
#include "sound/drum_kit.h"
#include "sound/sound_engine.h"
#include "ui/accessibility.h"
#include "ui/app_icon.h"
#include "ui/app_identity.h"
#include "ui/form1.h"

namespace {

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

QStringList argumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

std::filesystem::path dataFolder() {
    return trovik::DrumKit::findDataFolder(QCoreApplication::applicationDirPath().toStdString());
}

// What Qt said while it looked for a screen; the first of it names the
// display it could not reach. Kept until it is known whether the window opens.
QStringList startupMessages;

// Without a screen Qt ends the process with a fatal message and an abort.
// Said as one line and a plain failure instead, while the application starts.
void reportMissingDisplay(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) {
        startupMessages << message;
        return;
    }
    const QString reason = startupMessages.isEmpty() ? message.section(QLatin1Char('\n'), 0, 0)
                                                     : startupMessages.constFirst();
    std::fprintf(stderr, "trovik: cannot open the window: no display (%s)\n",
                 qPrintable(reason.simplified()));
    std::fflush(stderr);
    std::_Exit(kFailure);
}

int openWindow(char** argv, const QString& beatFile) {
    // Qt reads only the program's name: the arguments are ours and read already.
    int qtArgc = 1;
    qInstallMessageHandler(reportMissingDisplay);
    QApplication app(qtArgc, argv);
    qInstallMessageHandler(nullptr);
    for (const QString& message : std::as_const(startupMessages))
        qWarning("%s", qPrintable(message));
    QApplication::setApplicationName(trovik::kApplicationTitle);
    QApplication::setApplicationVersion(trovik::kVersionText);
    QApplication::setWindowIcon(trovik::applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("trovik"));
    trovik::installAccessibleToggles();

    // The beat model writes the beat to the link; the sound engine's audio
    // thread walks the steps from it.
    trovik::SequencerLink link;
    trovik::BeatModel beat(link);
    // The audio thread only copies frames, so it may safely run with real-time
    // priority where the system allows it; a busy machine then cannot starve
    // the small buffer into a dropout.
    trovik::SoundEngine::prepareProcess(trovik::AudioThreadPriority::RealTime);
    trovik::SoundEngine sound(dataFolder(), link);
    QObject::connect(&beat, &trovik::BeatModel::effectPathChanged, &beat,
                     [&sound, &beat] { sound.setEffectPath(beat.effectFileName()); });
    QObject::connect(&beat, &trovik::BeatModel::transportChanged, &beat, [&sound, &beat] {
        if (beat.running()) sound.lookAtSamplesNow();
    });

    trovik::Form1 form(beat);
    form.showCentred();
    if (!beatFile.isEmpty()) form.loadBeatFile(beatFile);
    return QApplication::exec();
}

int render(int argc, char** argv, trovik::RenderRequest request) {
    QCoreApplication app(argc, argv);
    request.dataFolder = dataFolder();
    return trovik::renderBeat(request, std::cerr, isatty(STDERR_FILENO) ? &std::cerr : nullptr);
}

int showUsage(int argc, char** argv, std::FILE* stream, const QString& error) {
    QCoreApplication app(argc, argv);
    if (!error.isEmpty()) std::fprintf(stream, "trovik: %s\n", qPrintable(error));
    std::fputs(qPrintable(trovik::helpText()), stream);
    return error.isEmpty() ? EXIT_SUCCESS : kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
    const trovik::CommandLine line = trovik::parseCommandLine(argumentsOf(argc, argv));
    switch (line.action) {
        case trovik::CommandLine::Action::ShowHelp:
            return showUsage(argc, argv, stdout, {});
        case trovik::CommandLine::Action::ShowVersion:
            std::printf("trovik %s\n", qPrintable(trovik::kVersionText));
            return EXIT_SUCCESS;
        case trovik::CommandLine::Action::UsageError:
            return showUsage(argc, argv, stderr, line.error);
        case trovik::CommandLine::Action::Render:
            return render(argc, argv, line.render);
        case trovik::CommandLine::Action::OpenWindow:
            break;
    }
    return openWindow(argv, line.beatFile);
}
