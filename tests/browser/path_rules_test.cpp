#include "path_rules.h"

#include <gtest/gtest.h>

namespace trovik {
namespace {

TEST(JoinPath, PutsExactlyOneSeparatorBetweenDirectoryAndName) {
    EXPECT_EQ(joinPath("C:\\", "kick.wav", u'\\'), "C:\\kick.wav");
    EXPECT_EQ(joinPath("C:\\Samples", "kick.wav", u'\\'), "C:\\Samples\\kick.wav");
    EXPECT_EQ(joinPath("/", "kick.wav", u'/'), "/kick.wav");
    EXPECT_EQ(joinPath("/home/ann/Samples", "kick.wav", u'/'), "/home/ann/Samples/kick.wav");
    EXPECT_EQ(joinPath("/media/stick", "Zap.WAV", u'/'), "/media/stick/Zap.WAV");
}

TEST(JoinPath, OnlyTheGivenSeparatorCountsAsEnding) {
    EXPECT_EQ(joinPath("", "kick.wav", u'\\'), "\\kick.wav");
    EXPECT_EQ(joinPath("C:/", "kick.wav", u'\\'), "C:/\\kick.wav");
}

TEST(PathChain, RunsFromTheDriveRootDownToThePath) {
    EXPECT_EQ(pathChain("/", "/home/ann", u'/'), QStringList({"/", "/home", "/home/ann"}));
    EXPECT_EQ(pathChain("/", "/", u'/'), QStringList({"/"}));
    EXPECT_EQ(pathChain("/media/stick", "/media/stick/drums", u'/'),
              QStringList({"/media/stick", "/media/stick/drums"}));
    EXPECT_EQ(pathChain("C:\\", "C:\\Samples\\Fx", u'\\'),
              QStringList({"C:\\", "C:\\Samples", "C:\\Samples\\Fx"}));
}

TEST(PathChain, APathOutsideTheRootStandsAlone) {
    EXPECT_EQ(pathChain("/media/stick", "/media/stickers", u'/'), QStringList({"/media/stickers"}));
    EXPECT_EQ(pathChain("D:\\", "C:\\Samples", u'\\'), QStringList({"C:\\Samples"}));
    EXPECT_FALSE(isAtOrBelow("/home", "", u'/'));
}

}  // namespace
}  // namespace trovik
