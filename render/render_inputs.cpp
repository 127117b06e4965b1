// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/render_inputs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>
#include <optional>

#include "beatfile/beat_file.h"
#include "beatfile/beat_file_storage.h"
#include "sound/sample_cache.h"
#include "sound/wav_decoder.h"

namespace trovik::render {
namespace {

constexpr int kFillChunkFrames = 16384;

std::string kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder, not a file";
    if (S_ISFIFO(mode)) return "a named pipe, not a file";
    if (S_ISSOCK(mode)) return "a socket, not a file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device, not a file";
    return "not a plain file";
}

std::string whyBeatFileFails(int failedGroup) {
    if (failedGroup == 1)
        return "not a beat file (its first line does not hold three texts and an interval "
               "from 0 to 999)";
    return "not a beat file (it ends inside the cells of line " + std::to_string(failedGroup) + ")";
}

// As much of the file as Load reads. Opened by its bytes: Qt would take the
// name for text in the locale's encoding, which not every name is.
std::optional<QByteArray> beatFileBytes(const std::string& fileName) {
    const int descriptor = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat facts {};
    if (descriptor < 0) return std::nullopt;
    QFile file;
    if (::fstat(descriptor, &facts) != 0 || !S_ISREG(facts.st_mode) ||
        !file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return std::nullopt;
    }
    QByteArray bytes = file.read(kLongestBeatFile);
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return bytes;
}

}  // namespace

std::string whyNotReadable(const std::string& fileName) {
    struct stat facts {};
    if (::stat(fileName.c_str(), &facts) != 0) return std::strerror(errno);
    if (!S_ISREG(facts.st_mode)) return kindOf(facts.st_mode);
    const int descriptor = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) return std::strerror(errno);
    ::close(descriptor);
    return {};
}

BeatToRender readBeatToRender(const std::string& fileName) {
    if (std::string why = whyNotReadable(fileName); !why.empty()) throw RenderError{fileName, why};
    const std::optional<QByteArray> bytes = beatFileBytes(fileName);
    if (!bytes) throw RenderError{fileName, "cannot be read"};
    const BeatFileReading reading = readBeatFile(*bytes);
    if (!reading.beat && bytes->size() >= kLongestBeatFile)
        throw RenderError{fileName, "not a beat file within its first 16 MiB, all that is read"};
    if (!reading.beat) throw RenderError{fileName, whyBeatFileFails(reading.failedGroup)};
    if (reading.beat->interval == 0)
        throw RenderError{fileName, "the interval is 0, so the beat never steps"};
    return {reading.beat->interval, reading.beat->cells};
}

SampleToRender::SampleToRender(const std::string& fileName, int rate) {
    if (std::string why = whyNotReadable(fileName); !why.empty()) throw RenderError{fileName, why};
    std::unique_ptr<WavDecoding> decoding = WavDecoding::open(fileName, rate);
    if (!decoding) throw RenderError{fileName, "not a WAV file this program can play"};
    frames_ = decoding->expectedFrames();
    sample_ = newSampleFor(frames_, SampleCacheOptions{});
    filler_ = std::make_unique<SampleFiller>(std::move(decoding), *sample_);
    while (!filler_->headDone()) filler_->step(kFillChunkFrames);
    if (!sample_->isStreamed()) frames_ = sample_->frameCount();
}

SampleToRender::~SampleToRender() = default;

void SampleToRender::fill() {
    while (filler_->step(kFillChunkFrames)) {
    }
}

}  // namespace trovik::render
