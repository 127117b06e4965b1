// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include <gtest/gtest.h>

namespace trovik {
namespace {

using Action = CommandLine::Action;
using Arguments = std::vector<std::string>;

CommandLine parse(Arguments arguments) {
    arguments.insert(arguments.begin(), "trovik");
    return parseCommandLine(arguments);
}

// In a UTF-8 locale "lat\xE9.tbk" is no text, and still a file's name.
TEST(CommandLine, OpensTheWindowWithTheBeatFileGivenByteForByte) {
    EXPECT_EQ(parse({}).action, Action::OpenWindow);
    EXPECT_TRUE(parse({}).beatFile.empty());
    const CommandLine line = parse({"beats/lat\xE9 beat.tbk"});
    EXPECT_EQ(line.action, Action::OpenWindow);
    EXPECT_EQ(line.beatFile, "beats/lat\xE9 beat.tbk");
    // After "--" a name that looks like an option is a file.
    EXPECT_EQ(parse({"--", "--tail"}).beatFile, "--tail");
    EXPECT_TRUE(parse({"--link", "a.tbk"}).link);
    EXPECT_TRUE(parse({"--jack-transport"}).jackTransport);
}

TEST(CommandLine, HelpAndVersionWinOverEverythingElse) {
    EXPECT_EQ(parse({"--help"}).action, Action::ShowHelp);
    EXPECT_EQ(parse({"-h", "a.tbk"}).action, Action::ShowHelp);
    EXPECT_EQ(parse({"--version"}).action, Action::ShowVersion);
    EXPECT_EQ(parse({"--render", "a.tbk", "-v"}).action, Action::ShowVersion);
}

TEST(CommandLine, RenderTakesEveryOptionIntoItsRequestAndNamesByteForByte) {
    const CommandLine line =
        parse({"--render", "b\xE9.tbk", "-o", "o\xFF.wav", "--loops", "4", "--tail",
               "--effect=fx\xC3\xA9.wav", "--mute", "snare,effect", "--rate", "44100", "--float"});
    ASSERT_EQ(line.action, Action::Render) << line.error.toStdString();
    const RenderRequest& r = line.render;
    EXPECT_EQ(r.beatFile, "b\xE9.tbk");
    EXPECT_EQ(r.outputFile, "o\xFF.wav");
    EXPECT_EQ(r.effectFile, "fx\xC3\xA9.wav");
    EXPECT_EQ(r.loops, 4);
    EXPECT_TRUE(r.tail);
    EXPECT_EQ(r.muted, (std::array<bool, kTrackCount>{false, true, true}));
    EXPECT_EQ(r.sampleRate, 44100);
    EXPECT_TRUE(r.floatSamples);
}

TEST(CommandLine, MistakesAreUsageErrorsThatSayWhatWasWrong) {
    const struct {
        Arguments arguments;
        const char* saying;
    } cases[] = {
        {{"--bogus"}, "bogus"},
        {{"--render"}, "--render"},
        {{"--render", "in.tbk"}, "--output"},
        {{"--render", "in.tbk", "-o", "o.wav", "extra.tbk"}, "no other file"},
        {{"a.tbk", "b.tbk"}, "one beat file"},
        {{"--loops", "2"}, "--loops needs --render"},
        {{"--tail", "in.tbk"}, "--tail needs --render"},
        {{"--render", "in.tbk", "-o", "o.wav", "--loops", "two"}, "'two'"},
        {{"--render", "in.tbk", "-o", "o.wav", "--rate", "44.1k"}, "'44.1k'"},
        {{"--render", "in.tbk", "-o", "o.wav", "--loops", "0"}, "--loops takes"},
        {{"--render", "in.tbk", "-o", "o.wav", "--rate", "192001"}, "--rate takes"},
        {{"--render", "in.tbk", "-o", "o.wav", "--mute", "bass,hihat"}, "'hihat'"},
        {{"--render", "in.tbk", "-o", "o.wav", "--link"}, "--link plays only in the window"},
        {{"--link", "--jack-transport"}, "do not go together"},
    };
    for (const auto& c : cases) {
        const CommandLine line = parse(c.arguments);
        const std::string said = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(line.action, Action::UsageError) << said;
        EXPECT_TRUE(line.error.contains(QLatin1String(c.saying)))
            << said << ": " << line.error.toStdString();
    }
}

}  // namespace
}  // namespace trovik
