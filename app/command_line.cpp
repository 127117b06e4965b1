// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <algorithm>
#include <optional>

namespace trovik {

namespace {

const QString kTrackNames[kTrackCount] = {QStringLiteral("bass"), QStringLiteral("snare"),
                                          QStringLiteral("effect")};

// The options the program takes; one parser serves both reading them and
// the usage text, so the two never disagree.
struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Shows this help and exits.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Shows the version and exits.")};
    QCommandLineOption render{QStringLiteral("render"),
                              QStringLiteral("Renders the beat file <beat> to a WAV file, "
                                             "without a window."),
                              QStringLiteral("beat")};
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("The WAV file the render writes."),
                              QStringLiteral("file")};
    QCommandLineOption loops{QStringLiteral("loops"),
                             QStringLiteral("How many times the 16 steps play (default 1)."),
                             QStringLiteral("n")};
    QCommandLineOption tail{QStringLiteral("tail"),
                            QStringLiteral("Goes on until the last hit has rung out.")};
    QCommandLineOption effect{QStringLiteral("effect"),
                              QStringLiteral("The effect track's sample; without it the "
                                             "effect track is silent."),
                              QStringLiteral("wav")};
    QCommandLineOption mute{QStringLiteral("mute"),
                            QStringLiteral("Mutes tracks: any of bass,snare,effect."),
                            QStringLiteral("tracks")};
    QCommandLineOption rate{QStringLiteral("rate"),
                            QStringLiteral("The sample rate, 8000 to 192000 (default 48000)."),
                            QStringLiteral("hz")};
    QCommandLineOption floatSamples{QStringLiteral("float"),
                                    QStringLiteral("Writes 32-bit float samples instead of "
                                                   "16-bit ones.")};

    void addTo(QCommandLineParser& parser) const {
        parser.setApplicationDescription(
            QStringLiteral("Trovik beat maker: a drum machine of three tracks of 16 steps.\n"
                           "Opens the window, with BEAT.tbk loaded when one is given, or\n"
                           "renders a beat to a WAV file with --render."));
        parser.addOptions(
            {help, version, render, output, loops, tail, effect, mute, rate, floatSamples});
        parser.addPositionalArgument(QStringLiteral("BEAT.tbk"),
                                     QStringLiteral("The beat file the window opens with."),
                                     QStringLiteral("[BEAT.tbk]"));
    }

    QList<const QCommandLineOption*> renderOnly() const {
        return {&output, &loops, &tail, &effect, &mute, &rate, &floatSamples};
    }
};

CommandLine only(CommandLine::Action action) {
    CommandLine line;
    line.action = action;
    return line;
}

CommandLine usageError(const QString& error) {
    CommandLine line = only(CommandLine::Action::UsageError);
    line.error = error;
    return line;
}

// The bytes the file system knows the file by.
std::string fileName(const QString& argument) {
    return QFile::encodeName(argument).toStdString();
}

std::optional<long long> wholeNumber(const QString& text) {
    bool ok = false;
    const long long value = text.toLongLong(&ok);
    return ok ? std::optional<long long>(value) : std::nullopt;
}

// "--mute bass,effect": empty names are passed over, an unknown one is an error.
std::optional<QString> readMutes(const QString& list, std::array<bool, kTrackCount>& muted) {
    for (const QString& name : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const auto* found = std::find(std::begin(kTrackNames), std::end(kTrackNames), name);
        if (found == std::end(kTrackNames)) {
            return QStringLiteral("--mute: unknown track '%1' (bass, snare or effect)").arg(name);
        }
        muted[static_cast<std::size_t>(found - std::begin(kTrackNames))] = true;
    }
    return std::nullopt;
}

CommandLine readRender(const QCommandLineParser& parser, const Options& o) {
    if (!parser.positionalArguments().isEmpty()) {
        return usageError(
            QStringLiteral("--render takes its beat file as its value, and no "
                           "other file"));
    }
    if (!parser.isSet(o.output)) return usageError(QStringLiteral("--render needs --output"));
    CommandLine line = only(CommandLine::Action::Render);
    RenderRequest& r = line.render;
    r.beatFile = fileName(parser.value(o.render));
    r.outputFile = fileName(parser.value(o.output));
    r.effectFile = fileName(parser.value(o.effect));
    r.tail = parser.isSet(o.tail);
    r.floatSamples = parser.isSet(o.floatSamples);
    for (const auto& [option, target] : {std::pair{&o.loops, &r.loops}, {&o.rate, &r.sampleRate}}) {
        if (!parser.isSet(*option)) continue;
        const QString text = parser.value(*option);
        const std::optional<long long> value = wholeNumber(text);
        if (!value) {
            return usageError(QStringLiteral("--%1: '%2' is not a whole number")
                                  .arg(option->names().constLast(), text));
        }
        *target = *value;
    }
    for (const QString& list : parser.values(o.mute)) {
        if (const std::optional<QString> error = readMutes(list, r.muted))
            return usageError(*error);
    }
    return line;
}

}  // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    const Options o;
    QCommandLineParser parser;
    o.addTo(parser);
    if (!parser.parse(arguments)) return usageError(parser.errorText());
    if (parser.isSet(o.help)) return only(CommandLine::Action::ShowHelp);
    if (parser.isSet(o.version)) return only(CommandLine::Action::ShowVersion);
    if (parser.isSet(o.render)) return readRender(parser, o);
    for (const QCommandLineOption* option : o.renderOnly()) {
        if (parser.isSet(*option)) {
            return usageError(
                QStringLiteral("--%1 needs --render").arg(option->names().constLast()));
        }
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) return usageError(QStringLiteral("one beat file at most"));
    CommandLine line;
    if (!files.isEmpty()) line.beatFile = files.constFirst();
    return line;
}

QString helpText() {
    const Options o;
    QCommandLineParser parser;
    o.addTo(parser);
    return parser.helpText();
}

}  // namespace trovik
