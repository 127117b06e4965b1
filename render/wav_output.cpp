// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/wav_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <utility>

#include "render/render_inputs.h"

namespace trovik::render {
namespace {

std::string folderOf(const std::string& fileName) {
    const std::filesystem::path folder = std::filesystem::path(fileName).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

std::string randomSuffix() {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device seed;
    std::mt19937 generator(seed());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(kLetters) - 2);
    std::string suffix(8, ' ');
    for (char& letter : suffix) letter = kLetters[pick(generator)];
    return suffix;
}

std::string systemError(const char* what) {
    return std::string(what) + " (" + std::strerror(errno) + ")";
}

}  // namespace

WavOutput::WavOutput(const std::string& fileName, int sampleRate, bool floatSamples)
    : fileName_(fileName) {
    if (std::filesystem::path(fileName).filename().empty()) fail("names a folder, not a file");
    struct stat facts {};
    if (::stat(fileName.c_str(), &facts) == 0 && !S_ISREG(facts.st_mode)) {
        errno = 0;
        fail(S_ISDIR(facts.st_mode) ? "a folder, not a file" : "exists and is not a plain file");
    }
    createBeside();
    openSoundFile(sampleRate, floatSamples);
}

WavOutput::~WavOutput() {
    if (sound_ != nullptr) sf_close(sound_);
    if (descriptor_ >= 0) ::close(descriptor_);
    if (!committed_ && !temporaryName_.empty()) ::unlink(temporaryName_.c_str());
}

// Like mkstemp, but created with the permissions of any new file (0666 less
// the umask) rather than 0600: the file will stand under the user's name.
void WavOutput::createBeside() {
    const std::string stem =
        folderOf(fileName_) + "/." + std::filesystem::path(fileName_).filename().string() + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = stem + randomSuffix();
        descriptor_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor_ >= 0) {
            temporaryName_ = name;
            return;
        }
        if (errno != EEXIST) fail(systemError("cannot create a file in its folder"));
    }
    fail(systemError("cannot create a file in its folder"));
}

void WavOutput::openSoundFile(int sampleRate, bool floatSamples) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | (floatSamples ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
    sound_ = sf_open_fd(descriptor_, SFM_WRITE, &info, SF_FALSE);
    if (sound_ == nullptr) fail(std::string("cannot write (") + sf_strerror(nullptr) + ")");
    // Overs stay at full scale instead of wrapping round to the other side.
    if (!floatSamples) sf_command(sound_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

void WavOutput::write(const float* interleaved, int frames) {
    errno = 0;
    if (sf_writef_float(sound_, interleaved, frames) != frames)
        fail(errno != 0 ? systemError("cannot write")
                        : std::string("cannot write (") + sf_strerror(sound_) + ")");
}

void WavOutput::commit() {
    errno = 0;
    const int closed = sf_close(sound_);  // writes the final header
    sound_ = nullptr;
    if (closed != 0) fail(std::string("cannot write (") + sf_error_number(closed) + ")");
    if (::fsync(descriptor_) != 0) fail(systemError("cannot write"));
    const int descriptor = std::exchange(descriptor_, -1);
    if (::close(descriptor) != 0) fail(systemError("cannot write"));
    if (::rename(temporaryName_.c_str(), fileName_.c_str()) != 0)
        fail(systemError("cannot replace it"));
    committed_ = true;
    // The new name on the disk too; the file itself is already there.
    const int folder = ::open(folderOf(fileName_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

void WavOutput::fail(const std::string& reason) const {
    throw RenderError{fileName_, reason};
}

}  // namespace trovik::render
