#pragma once

#include <string>

namespace trovik {

// The one way the program makes a sound. PlaySample stops whatever sound is
// playing, starts the named WAV file and returns at once; it never reports
// failure, because a hit that cannot sound must not disturb the beat.
class SamplePlayer {
public:
    virtual ~SamplePlayer() = default;
    virtual void PlaySample(const std::string& path) = 0;
};

}  // namespace trovik
