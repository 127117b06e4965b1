// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "sequencer/track.h"
#include "sound/sample.h"
#include "sound/sample_filler.h"

namespace trovik::render {

// Why the render cannot go on: the file concerned and the reason, told to
// the user as one line.
class RenderError : public std::runtime_error {
  public:
    RenderError(std::string file, const std::string& reason)
        : std::runtime_error(reason), file_(std::move(file)) {}
    const std::string& file() const { return file_; }

  private:
    std::string file_;
};

// What the render needs of a beat file.
struct BeatToRender {
    int interval = 0;
    std::array<QString, kCellCount> captions;
};

// The beat, read whole with the rules of Load; throws RenderError when it
// cannot be read or is no beat file, or when its interval is 0.
BeatToRender readBeatToRender(const std::string& fileName);

// The sound of a WAV file at `rate`, held and streamed as the window holds
// and streams it, so that any file the window plays renders in the same
// bounded memory. The render is no real-time player: fill() decodes, before
// each block, all that the block can need.
class SampleToRender {
  public:
    // Throws RenderError when the file is not a plain readable file or not
    // a playable WAV.
    SampleToRender(const std::string& fileName, int rate);
    ~SampleToRender();
    SampleToRender(const SampleToRender&) = delete;
    SampleToRender& operator=(const SampleToRender&) = delete;

    const Sample& sample() const { return *sample_; }
    // Its length: as decoded when it is held whole, as its header tells
    // when it is streamed (a cut-short file then ends in silence).
    std::int64_t frames() const { return frames_; }
    void fill();

  private:
    std::unique_ptr<Sample> sample_;
    std::unique_ptr<SampleFiller> filler_;
    std::int64_t frames_ = 0;
};

// Why a file cannot be read as a plain file ("no such file", "a folder"...),
// or empty when it can. Never waits: a named pipe is only looked at.
std::string whyNotReadable(const std::string& fileName);

}  // namespace trovik::render
