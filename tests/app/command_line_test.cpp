// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace trovik {
namespace {

using Action = CommandLine::Action;

CommandLine parse(const QStringList& arguments) {
    std::vector<std::string> bytes{"trovik"};
    for (const QString& argument : arguments) bytes.push_back(argument.toStdString());
    return parseCommandLine(bytes);
}

TEST(CommandLine, OpensTheWindowWithTheBeatFileGivenAsItIsGiven) {
    EXPECT_EQ(parse({}).action, Action::OpenWindow);
    EXPECT_TRUE(parse({}).beatFile.empty());
    const CommandLine line = parse({QStringLiteral("beats/my beat.tbk")});
    EXPECT_EQ(line.action, Action::OpenWindow);
    EXPECT_EQ(line.beatFile, "beats/my beat.tbk");
    // After "--" a name that looks like an option is a file.
    EXPECT_EQ(parse({QStringLiteral("--"), QStringLiteral("--tail")}).beatFile, "--tail");
}

// In a UTF-8 locale "lat\xE9.tbk" is no text, and still a file's name.
TEST(CommandLine, FileNamesAreKeptByteForByte) {
    const CommandLine window = parseCommandLine({"trovik", "lat\xE9.tbk"});
    EXPECT_EQ(window.beatFile, "lat\xE9.tbk");
    const CommandLine line = parseCommandLine(
        {"trovik", "--render", "b\xE9.tbk", "-o", "o\xFF.wav", "--effect=fx\xC3\xA9.wav"});
    ASSERT_EQ(line.action, Action::Render);
    EXPECT_EQ(line.render.beatFile, "b\xE9.tbk");
    EXPECT_EQ(line.render.outputFile, "o\xFF.wav");
    EXPECT_EQ(line.render.effectFile, "fx\xC3\xA9.wav");
}

TEST(CommandLine, HelpAndVersionWinOverEverythingElse) {
    EXPECT_EQ(parse({QStringLiteral("--help")}).action, Action::ShowHelp);
    EXPECT_EQ(parse({QStringLiteral("-h"), QStringLiteral("a.tbk")}).action, Action::ShowHelp);
    EXPECT_EQ(parse({QStringLiteral("--version")}).action, Action::ShowVersion);
    EXPECT_EQ(
        parse({QStringLiteral("--render"), QStringLiteral("a.tbk"), QStringLiteral("-v")}).action,
        Action::ShowVersion);
}

TEST(CommandLine, RenderTakesEveryOptionIntoItsRequest) {
    const CommandLine line =
        parse({QStringLiteral("--render"), QStringLiteral("in.tbk"), QStringLiteral("-o"),
               QStringLiteral("out.wav"), QStringLiteral("--loops"), QStringLiteral("4"),
               QStringLiteral("--tail"), QStringLiteral("--effect"), QStringLiteral("fx.wav"),
               QStringLiteral("--mute"), QStringLiteral("snare,effect"), QStringLiteral("--rate"),
               QStringLiteral("44100"), QStringLiteral("--float")});
    ASSERT_EQ(line.action, Action::Render) << line.error.toStdString();
    const RenderRequest& r = line.render;
    EXPECT_EQ(r.beatFile, "in.tbk");
    EXPECT_EQ(r.outputFile, "out.wav");
    EXPECT_EQ(r.effectFile, "fx.wav");
    EXPECT_EQ(r.loops, 4);
    EXPECT_TRUE(r.tail);
    EXPECT_EQ(r.muted, (std::array<bool, kTrackCount>{false, true, true}));
    EXPECT_EQ(r.sampleRate, 44100);
    EXPECT_TRUE(r.floatSamples);
}

TEST(CommandLine, MistakesAreUsageErrorsThatSayWhatWasWrong) {
    const QString render = QStringLiteral("--render");
    const QString in = QStringLiteral("in.tbk");
    const QString o = QStringLiteral("-o");
    const QString out = QStringLiteral("o.wav");
    const struct {
        QStringList arguments;
        const char* saying;
    } cases[] = {
        {{QStringLiteral("--bogus")}, "bogus"},
        {{render}, "--render"},
        {{render, in}, "--output"},
        {{render, in, o, out, QStringLiteral("extra.tbk")}, "no other file"},
        {{QStringLiteral("a.tbk"), QStringLiteral("b.tbk")}, "one beat file"},
        {{QStringLiteral("--loops"), QStringLiteral("2")}, "--loops needs --render"},
        {{QStringLiteral("--tail"), in}, "--tail needs --render"},
        {{render, in, o, out, QStringLiteral("--loops"), QStringLiteral("two")}, "'two'"},
        {{render, in, o, out, QStringLiteral("--rate"), QStringLiteral("44.1k")}, "'44.1k'"},
        {{render, in, o, out, QStringLiteral("--loops"), QStringLiteral("0")}, "--loops takes"},
        {{render, in, o, out, QStringLiteral("--rate"), QStringLiteral("192001")}, "--rate takes"},
        {{render, in, o, out, QStringLiteral("--mute"), QStringLiteral("bass,hihat")}, "'hihat'"},
    };
    for (const auto& c : cases) {
        const CommandLine line = parse(c.arguments);
        const std::string said = c.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(line.action, Action::UsageError) << said;
        EXPECT_TRUE(line.error.contains(QLatin1String(c.saying)))
            << said << ": " << line.error.toStdString();
    }
}

}  // namespace
}  // namespace trovik
