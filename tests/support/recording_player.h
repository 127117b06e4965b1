#pragma once

#include <string>
#include <vector>

#include "sound/sample_player.h"

namespace trovik::testing {

// Stands in for the sound output and remembers every path it was asked to play.
class RecordingPlayer : public SamplePlayer {
  public:
    void PlaySample(const std::string& path) override { played.push_back(path); }
    void PlaySampleAt(const std::string& path, const GridHit& hit) override {
        played.push_back(path);
        hits.push_back(hit);
    }

    std::vector<std::string> takePlayed() { return std::exchange(played, {}); }

    std::vector<std::string> played;
    std::vector<GridHit> hits;
};

}  // namespace trovik::testing
