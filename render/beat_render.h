// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <filesystem>
#include <ostream>
#include <string>

#include "sequencer/track.h"

namespace trovik {

constexpr long long kLowestRenderRate = 8000;
constexpr long long kHighestRenderRate = 192000;

// What `trovik --render` is asked to do.
struct RenderRequest {
    std::string beatFile;    // as given on the command line (relative: working folder)
    std::string outputFile;  // likewise
    std::string effectFile;  // empty: the effect track is silent
    long long loops = 1;     // validated by renderBeat: at least 1, WAV under 4 GiB
    bool tail = false;       // go on after the last loop until the last hit has rung out
    std::array<bool, kTrackCount> muted{};  // by indexOf(Track)
    long long sampleRate = 48000;           // validated: 8000..192000
    bool floatSamples = false;              // 32-bit float WAV instead of 16-bit PCM
    std::filesystem::path dataFolder;       // where bass.wav and snare.wav are
};

// Renders the beat as it loops, from its second pass on, and writes it as a
// stereo WAV file. Returns the process exit status: 0, or 1 after writing
// ONE line to `errors` that names the file concerned and the reason. No
// output file is left behind on an error, and an existing one stays as it
// was. `progress`, when not null, gets a line updated in place once the
// render has taken more than 2 s, ended with a newline.
int renderBeat(const RenderRequest& request, std::ostream& errors, std::ostream* progress);

}  // namespace trovik
