// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/drum_kit.h"

namespace trovik {

std::filesystem::path DrumKit::findDataFolder(const std::filesystem::path& executableFolder) {
    const std::filesystem::path installed = executableFolder / ".." / "share" / "trovik";
    std::error_code error;
    if (std::filesystem::exists(installed / "bass.wav", error)) return installed.lexically_normal();
    return executableFolder / "data";
}

std::string DrumKit::resolve(const std::string& path) const {
#ifdef _WIN32
    return path;
#else
    if (path == kBassSampleName) return (dataFolder_ / "bass.wav").string();
    if (path == kSnareSampleName) return (dataFolder_ / "snare.wav").string();
    return path;
#endif
}

}  // namespace trovik
