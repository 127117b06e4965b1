// SPDX-License-Identifier: GPL-3.0-or-later
// Where the shipped drums are found, from the folder the executable is in.
#include "sound/drum_kit.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/sound/test_wavs.h"

namespace trovik {
namespace {

namespace fs = std::filesystem;

void touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "RIFF";
}

// Installed, the program is in <prefix>/bin and its drums in
// <prefix>/share/trovik; built, the drums are in data/ beside the
// executable. An installed layout that lacks the drums is no data folder.
TEST(DrumKitDataFolder, IsShareTrovikBesideAnInstalledBinOrDataInTheBuildTree) {
    testing::TempFolder folder;
    const fs::path prefix = folder.path() / "usr";
    touch(prefix / "share" / "trovik" / "bass.wav");
    fs::create_directories(prefix / "bin");
    EXPECT_TRUE(
        fs::equivalent(DrumKit::findDataFolder(prefix / "bin"), prefix / "share" / "trovik"));

    const fs::path build = folder.path() / "build";
    touch(build / "data" / "bass.wav");
    EXPECT_TRUE(fs::equivalent(DrumKit::findDataFolder(build), build / "data"));

    const fs::path bare = folder.path() / "bare";
    fs::create_directories(bare / "bin");
    fs::create_directories(bare / "share" / "trovik");
    EXPECT_EQ(DrumKit::findDataFolder(bare / "bin"), bare / "bin" / "data");
}

}  // namespace
}  // namespace trovik
