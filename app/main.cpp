// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "render/beat_render.h"
#include "sequencer/beat_model.h"
#include "sequencer/sequencer_link.h"
#include "sound/drum_kit.h"
#include "sound/sound_engine.h"
#include "sync/jack_transport_sync.h"
#include "sync/link_sync.h"
#include "ui/accessibility.h"
#include "ui/app_icon.h"
#include "ui/app_identity.h"
#include "ui/form1.h"

namespace {

constexpr int kFailure = 1;
constexpr int kUsageError = 2;

std::vector<std::string> argumentsOf(int argc, char** argv) {
    return {argv, argv + argc};
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

// A name Qt can open, for a file named by bytes. Qt knows file names only
// as text in the locale's encoding, and a name that is not (lat\xE9.tbk in
// a UTF-8 locale) does not come back from it as the same bytes: that file is
// opened here and handed over by its descriptor, for as long as this lives.
class OpenableName {
  public:
    explicit OpenableName(const std::string& bytes)
        : text_(QFile::decodeName(QByteArray::fromStdString(bytes))) {
        if (QFile::encodeName(text_).toStdString() == bytes) return;
        descriptor_ = ::open(bytes.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        // Without it the name fails to load as it would have.
        if (descriptor_ >= 0) text_ = QStringLiteral("/proc/self/fd/%1").arg(descriptor_);
    }
    ~OpenableName() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    OpenableName(const OpenableName&) = delete;
    OpenableName& operator=(const OpenableName&) = delete;

    const QString& text() const { return text_; }

  private:
    QString text_;
    int descriptor_ = -1;
};

int openWindow(char** argv, const trovik::CommandLine& line) {
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
    // In a Link session the step clock follows the session's beat; built
    // before the sound, so that the audio thread finds it from its first block.
    std::unique_ptr<trovik::LinkSync> session;
    std::unique_ptr<trovik::JackTransportSync> transport;
    trovik::StepTimeline* timeline = nullptr;
    if (line.link) timeline = (session = std::make_unique<trovik::LinkSync>(beat, stderr)).get();
    if (line.jackTransport) {
        // The transport counts JACK's frames: the sound goes through JACK too.
        ::setenv("TROVIK_AUDIO", "jack", 1);
        timeline = (transport = std::make_unique<trovik::JackTransportSync>(beat, stderr)).get();
    }
    trovik::SoundEngine sound(dataFolder(), link, timeline);
    QObject::connect(
        &beat, &trovik::BeatModel::effectPathChanged, &beat,
        [&sound](const QString& path) { sound.setEffectPath(trovik::fileSystemName(path)); });
    QObject::connect(&beat, &trovik::BeatModel::transportChanged, &beat, [&sound, &beat] {
        if (beat.running()) sound.lookAtSamplesNow();
    });

    trovik::Form1 form(beat);
    form.showCentred();
    if (!line.beatFile.empty()) form.loadBeatFile(OpenableName(line.beatFile).text());
    return QApplication::exec();
}

int render(int argc, char** argv, trovik::RenderRequest request) {
    QCoreApplication app(argc, argv);
    request.dataFolder = dataFolder();
    return trovik::renderBeat(request, std::cerr, isatty(STDERR_FILENO) ? &std::cerr : nullptr);
}

// Everything written to standard output must have reached it.
int finishStandardOutput() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0 || std::fclose(stdout) != 0) {
        std::fprintf(stderr, "trovik: write error: %s\n", std::strerror(errno));
        return kFailure;
    }
    return EXIT_SUCCESS;
}

int showHelp(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::fputs(trovik::helpText().toLocal8Bit().constData(), stdout);
    return finishStandardOutput();
}

int showVersion() {
    std::fputs(trovik::versionText(trovik::kVersionText).toLocal8Bit().constData(), stdout);
    return finishStandardOutput();
}

int showUsageError(const QString& error) {
    std::fprintf(stderr, "trovik: %s\nTry 'trovik --help' for more information.\n",
                 error.toLocal8Bit().constData());
    return kUsageError;
}

// A closed standard output or error is held by /dev/null opened read-only,
// so that no file the program opens later takes its number, and every write
// to it still fails.
void holdClosedStandardStreams() {
    for (const int stream : {STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(stream, F_GETFD) != -1 || errno != EBADF) continue;
        const int placeholder = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (placeholder >= 0 && placeholder != stream) {
            ::dup2(placeholder, stream);
            ::close(placeholder);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    holdClosedStandardStreams();
    const trovik::CommandLine line = trovik::parseCommandLine(argumentsOf(argc, argv));
    switch (line.action) {
        case trovik::CommandLine::Action::ShowHelp:
            return showHelp(argc, argv);
        case trovik::CommandLine::Action::ShowVersion:
            return showVersion();
        case trovik::CommandLine::Action::UsageError:
            return showUsageError(line.error);
        case trovik::CommandLine::Action::Render:
            return render(argc, argv, line.render);
        case trovik::CommandLine::Action::OpenWindow:
            break;
    }
    return openWindow(argv, line);
}
