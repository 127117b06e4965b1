// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <algorithm>
#include <limits>
#include <optional>
#include <tuple>

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
                              QStringLiteral("The WAV file the render writes; - for standard "
                                             "output."),
                              QStringLiteral("file")};
    QCommandLineOption loops{QStringLiteral("loops"),
                             QStringLiteral("How many times the 16 steps play, 1 or more "
                                            "(default 1)."),
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

    QCommandLineOption link{QStringLiteral("link"),
                            QStringLiteral("Plays in an Ableton Link session: its tempo, bar "
                                           "and start/stop.")};

    QCommandLineOption jackTransport{QStringLiteral("jack-transport"),
                                     QStringLiteral("Follows the JACK transport: its start, "
                                                    "stop, position and tempo.")};

    void addTo(QCommandLineParser& parser) const {
        parser.setApplicationDescription(
            QStringLiteral("Trovik beat maker: a drum machine of three tracks of 16 steps.\n"
                           "Opens the window, with BEAT.tbk loaded when one is given, or\n"
                           "renders a beat to a WAV file with --render."));
        parser.addOptions({help, version, render, output, loops, tail, effect, mute, rate,
                           floatSamples, link, jackTransport});
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

// The arguments are parsed as Latin-1, one character a byte, so that every
// value comes back as the very bytes given.
std::string bytesOf(const QString& argument) {
    return argument.toLatin1().toStdString();
}

// A text made of arguments, for the user to read in the locale's encoding.
QString readable(const QString& text) {
    return QString::fromLocal8Bit(text.toLatin1());
}

struct Range {
    long long lowest, highest;
    const char* saying;
};

std::optional<long long> wholeNumberIn(const QString& text, const Range& range) {
    bool ok = false;
    const long long value = text.toLongLong(&ok);
    if (!ok || value < range.lowest || value > range.highest) return std::nullopt;
    return value;
}

// "--mute bass,effect": empty names are passed over, an unknown one is an error.
std::optional<QString> readMutes(const QString& list, std::array<bool, kTrackCount>& muted) {
    for (const QString& name : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const auto* found = std::find(std::begin(kTrackNames), std::end(kTrackNames), name);
        if (found == std::end(kTrackNames)) {
            return QStringLiteral("--mute: unknown track '%1' (bass, snare or effect)")
                .arg(readable(name));
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
    r.beatFile = bytesOf(parser.value(o.render));
    r.outputFile = bytesOf(parser.value(o.output));
    r.effectFile = bytesOf(parser.value(o.effect));
    r.tail = parser.isSet(o.tail);
    r.floatSamples = parser.isSet(o.floatSamples);
    const Range loops{1, std::numeric_limits<long long>::max(), "a whole number of 1 or more"};
    const Range rates{kLowestRenderRate, kHighestRenderRate, "a whole number from 8000 to 192000"};
    for (const auto& [option, range, target] :
         {std::tuple{&o.loops, &loops, &r.loops}, {&o.rate, &rates, &r.sampleRate}}) {
        if (!parser.isSet(*option)) continue;
        const QString text = parser.value(*option);
        const std::optional<long long> value = wholeNumberIn(text, *range);
        if (!value) {
            return usageError(QStringLiteral("--%1 takes %2, not '%3'")
                                  .arg(option->names().constLast(), QLatin1String(range->saying),
                                       readable(text)));
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

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    QStringList latin1;
    for (const std::string& argument : arguments)
        latin1 << QString::fromLatin1(argument.data(), static_cast<qsizetype>(argument.size()));
    const Options o;
    QCommandLineParser parser;
    o.addTo(parser);
    if (!parser.parse(latin1)) return usageError(readable(parser.errorText()));
    if (parser.isSet(o.help)) return only(CommandLine::Action::ShowHelp);
    if (parser.isSet(o.version)) return only(CommandLine::Action::ShowVersion);
    if (parser.isSet(o.render)) {
        if (parser.isSet(o.link))
            return usageError(QStringLiteral("--link plays only in the window"));
        return readRender(parser, o);
    }
    for (const QCommandLineOption* option : o.renderOnly()) {
        if (parser.isSet(*option)) {
            return usageError(
                QStringLiteral("--%1 needs --render").arg(option->names().constLast()));
        }
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) return usageError(QStringLiteral("one beat file at most"));
    CommandLine line;
    if (!files.isEmpty()) line.beatFile = bytesOf(files.constFirst());
    if (parser.isSet(o.link) && parser.isSet(o.jackTransport))
        return usageError(QStringLiteral("--link and --jack-transport do not go together"));
    line.link = parser.isSet(o.link);
    line.jackTransport = parser.isSet(o.jackTransport);
    return line;
}

QString helpText() {
    const Options o;
    QCommandLineParser parser;
    o.addTo(parser);
    // Qt's usage line names the program as it was typed, and shows one form.
    QString text = parser.helpText();
    text.remove(0, text.indexOf(QLatin1Char('\n')) + 1);
    return QStringLiteral(
               "Usage: trovik [OPTION]... [BEAT.tbk]\n"
               "  or:  trovik --render BEAT.tbk --output FILE [OPTION]...\n") +
           text +
           QStringLiteral(
               "\n"
               "Environment:\n"
               "  TROVIK_AUDIO           The sound output: jack, pulse or sdl; unset, the\n"
               "                         first that answers of JACK, PulseAudio, SDL.\n"
               "  TROVIK_BUFFER_FRAMES   The sound output's buffer in frames, 64 to 8192.\n"
               "  JACK_DEFAULT_SERVER    The name of the JACK server to play through.\n"
               "  SDL_AUDIODRIVER        The driver SDL plays through.\n"
               "  DISPLAY, QT_QPA_PLATFORM  The display the window opens on.\n");
}

QString versionText(const QString& version) {
    return QStringLiteral("trovik %1\n").arg(version) +
           QStringLiteral(
               "License GPL-3.0-or-later: GNU GPL version 3 or later "
               "<https://gnu.org/licenses/gpl.html>.\n"
               "This is free software: you are free to change and redistribute it.\n"
               "There is NO WARRANTY, to the extent permitted by law.\n");
}

}  // namespace trovik
