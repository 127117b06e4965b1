// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <array>
#include <memory>
#include <string>

#include "sequencer/track.h"
#include "sound/sample.h"

namespace trovik::render {

// Why the render cannot go on: the file concerned and the reason, told to
// the user as one line.
struct RenderError {
    std::string file;
    std::string reason;
};

// What the render needs of a beat file.
struct BeatToRender {
    int interval = 0;
    std::array<QString, kCellCount> captions;
};

// The beat, read whole with the rules of Load; throws RenderError when it
// cannot be read or is no beat file, or when its interval is 0.
BeatToRender readBeatToRender(const std::string& fileName);

// The whole sound of a WAV file decoded at `rate`; throws RenderError when
// it is not a plain readable file, not a playable WAV, or too long to hold.
std::unique_ptr<Sample> decodeSampleToRender(const std::string& fileName, int rate);

// Why a file cannot be read as a plain file ("no such file", "a folder"...),
// or empty when it can. Never waits: a named pipe is only looked at.
std::string whyNotReadable(const std::string& fileName);

}  // namespace trovik::render
