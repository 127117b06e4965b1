// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>

#include "sequencer/track.h"

namespace trovik {

// The sequencer names the two built-in drums by their fixed Windows paths.
// Elsewhere those names stand for the samples shipped in the program's data
// folder; every other path is used as it is.
class DrumKit {
  public:
    explicit DrumKit(std::filesystem::path dataFolder) : dataFolder_(std::move(dataFolder)) {}

    // Finds the data folder of an executable living in `executableFolder`:
    // share/trovik beside an installed bin/, or data/ in the build tree.
    static std::filesystem::path findDataFolder(const std::filesystem::path& executableFolder);

    std::string resolve(const std::string& path) const;

  private:
    std::filesystem::path dataFolder_;
};

}  // namespace trovik
