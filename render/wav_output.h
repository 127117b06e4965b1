// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sndfile.h>

#include <string>

namespace trovik::render {

// A stereo WAV file written whole or not at all: the frames go to a new
// file beside the target, which replaces the target only once every byte is
// on the disk. Until then, and on any failure, the target stays as it was.
// Every failure throws RenderError naming the target.
class WavOutput {
  public:
    // 16-bit PCM, overs clipped, or 32-bit float.
    WavOutput(const std::string& fileName, int sampleRate, bool floatSamples);
    // Removes the new file unless it has replaced the target.
    ~WavOutput();
    WavOutput(const WavOutput&) = delete;
    WavOutput& operator=(const WavOutput&) = delete;

    void write(const float* interleaved, int frames);
    // Finishes the file, puts it on the disk and gives it the target's name.
    void commit();

  private:
    void createBeside();
    void openSoundFile(int sampleRate, bool floatSamples);
    [[noreturn]] void fail(const std::string& reason) const;

    std::string fileName_;
    std::string temporaryName_;
    int descriptor_ = -1;
    SNDFILE* sound_ = nullptr;
    bool committed_ = false;
};

}  // namespace trovik::render
