// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace trovik::render {

// The output name that stands for standard output.
inline const std::string kStandardOutput = "-";

// A stereo WAV file of a length known in advance, so its header is exact
// from the start and nothing ever seeks: it can go down a pipe.
//
// A plain file is written whole or not at all: the frames go to a new file
// beside it, which replaces it only once every byte is on the disk. Until
// then, on any failure and on SIGINT, SIGTERM or SIGHUP, it stays as it
// was. A symbolic link is written through: the file it finally leads to is
// replaced, and the link stays. A device or a named pipe is written
// directly, and "-" is standard output. Every failure throws RenderError
// naming the output.
class WavOutput {
  public:
    // 16-bit PCM rounded to the nearest value, overs clipped, or 32-bit float.
    WavOutput(const std::string& fileName, int sampleRate, bool floatSamples, std::int64_t frames);
    // Removes the new file unless it has replaced the target.
    ~WavOutput();
    WavOutput(const WavOutput&) = delete;
    WavOutput& operator=(const WavOutput&) = delete;

    void write(const float* interleaved, int frames);
    // Puts the file on the disk and gives it the target's name.
    void commit();

  private:
    void letGo();
    void openTarget();
    void createBeside();
    void writeHeader(int sampleRate, std::int64_t frames);
    void writeBytes(const unsigned char* bytes, std::size_t count);
    [[noreturn]] void fail(const std::string& reason) const;

    std::string fileName_;
    std::string target_;         // the plain file to replace, or empty
    std::string temporaryName_;  // the new file beside it
    int descriptor_ = -1;
    bool ownsDescriptor_ = true;
    bool floatSamples_;
    std::int64_t framesLeft_;
    std::vector<unsigned char> bytes_;
    bool committed_ = false;
};

}  // namespace trovik::render
