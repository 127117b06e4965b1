#pragma once

#include <string>
#include <vector>

#include "sample_player.h"

namespace trovik::testing {

// Stands in for the sound output and remembers every path it was asked to play.
class RecordingPlayer : public SamplePlayer {
public:
    void PlaySample(const std::string& path) override { played.push_back(path); }

    std::vector<std::string> takePlayed() { return std::exchange(played, {}); }

    std::vector<std::string> played;
};

}  // namespace trovik::testing
