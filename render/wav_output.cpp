// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/wav_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <utility>

#include "render/render_inputs.h"

namespace trovik::render {
namespace {

constexpr int kChannels = 2;
constexpr int kMostLinks = 40;  // as the kernel follows them

std::string systemError(const char* what) {
    return std::string(what) + " (" + std::strerror(errno) + ")";
}

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

// The name a chain of symbolic links finally leads to (which need not
// exist yet); the name itself when it is no link. Empty, with errno set,
// when the chain loops or cannot be read.
std::string finalTarget(std::string name) {
    for (int links = 0; links <= kMostLinks; ++links) {
        struct stat facts {};
        if (::lstat(name.c_str(), &facts) != 0) return errno == ENOENT ? name : std::string();
        if (!S_ISLNK(facts.st_mode)) return name;
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(name.c_str(), target.data(), target.size());
        if (length < 0) return {};
        target.resize(static_cast<std::size_t>(length));
        name = target.starts_with('/') ? target
                                       : (std::filesystem::path(folderOf(name)) / target).string();
    }
    errno = ELOOP;
    return {};
}

// The new file, removed by a signal that ends the process while it is
// being written. The handler may only use what is async-signal-safe: the
// name waits in a fixed buffer, written only while those signals are blocked.
class TemporaryFileGuard {
  public:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

    // Blocks the signals for its scope.
    class Blocked {
      public:
        Blocked() {
            sigset_t set;
            sigemptyset(&set);
            for (int signal : kSignals) sigaddset(&set, signal);
            pthread_sigmask(SIG_BLOCK, &set, &before_);
        }
        ~Blocked() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
        Blocked(const Blocked&) = delete;
        Blocked& operator=(const Blocked&) = delete;

      private:
        sigset_t before_;
    };

    // With the signals blocked. False when the name does not fit.
    static bool arm(const std::string& name) {
        if (name.size() >= sizeof(name_)) return false;
        std::memcpy(name_, name.c_str(), name.size() + 1);
        armed_ = 1;
        for (std::size_t i = 0; i < std::size(kSignals); ++i) {
            ::sigaction(kSignals[i], nullptr, &before_[i]);
            // A signal ignored from the start (as under nohup) stays ignored.
            if (before_[i].sa_handler == SIG_IGN) continue;
            struct sigaction action {};
            action.sa_handler = removeAndEnd;
            sigemptyset(&action.sa_mask);
            ::sigaction(kSignals[i], &action, nullptr);
        }
        return true;
    }
    // With the signals blocked.
    static void disarm() {
        if (armed_ == 0) return;
        armed_ = 0;
        for (std::size_t i = 0; i < std::size(kSignals); ++i)
            ::sigaction(kSignals[i], &before_[i], nullptr);
    }

  private:
    static void removeAndEnd(int signal) {
        if (armed_ != 0) ::unlink(name_);
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
        ::raise(signal);  // ends the process as soon as this handler returns
    }

    static inline char name_[PATH_MAX + 64];
    static inline volatile sig_atomic_t armed_ = 0;
    static inline struct sigaction before_[std::size(kSignals)];
};

void put16(std::vector<unsigned char>& out, unsigned value) {
    out.push_back(static_cast<unsigned char>(value & 0xFF));
    out.push_back(static_cast<unsigned char>(value >> 8 & 0xFF));
}

void put32(std::vector<unsigned char>& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

void putTag(std::vector<unsigned char>& out, const char (&tag)[5]) {
    out.insert(out.end(), tag, tag + 4);
}

// Rounded to the nearest step; overs stay at full scale instead of
// wrapping round to the other side.
std::int16_t toSixteenBits(float sample) {
    const float scaled = sample * 32768.0f;
    if (!(scaled < 32767.0f)) return 32767;
    if (scaled <= -32768.0f) return -32768;
    return static_cast<std::int16_t>(std::nearbyint(scaled));
}

}  // namespace

WavOutput::WavOutput(const std::string& fileName, int sampleRate, bool floatSamples,
                     std::int64_t frames)
    : fileName_(fileName), floatSamples_(floatSamples), framesLeft_(frames) {
    try {
        openTarget();
        writeHeader(sampleRate, frames);
    } catch (...) {
        letGo();
        throw;
    }
}

WavOutput::~WavOutput() {
    letGo();
}

void WavOutput::letGo() {
    if (descriptor_ >= 0 && ownsDescriptor_) ::close(descriptor_);
    descriptor_ = -1;
    if (!committed_ && !temporaryName_.empty()) {
        const TemporaryFileGuard::Blocked blocked;
        ::unlink(temporaryName_.c_str());
        TemporaryFileGuard::disarm();
        temporaryName_.clear();
    }
}

void WavOutput::openTarget() {
    if (fileName_ == kStandardOutput) {
        descriptor_ = STDOUT_FILENO;
        ownsDescriptor_ = false;
        return;
    }
    if (std::filesystem::path(fileName_).filename().empty()) fail("names a folder, not a file");
    struct stat facts {};
    const bool exists = ::stat(fileName_.c_str(), &facts) == 0;
    if (!exists && errno != ENOENT) fail(systemError("cannot be written"));
    if (exists) {
        if (S_ISDIR(facts.st_mode)) fail("a folder, not a file");
        if (S_ISCHR(facts.st_mode) || S_ISFIFO(facts.st_mode)) {
            descriptor_ = ::open(fileName_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
            if (descriptor_ < 0) fail(systemError("cannot be written"));
            return;
        }
        if (!S_ISREG(facts.st_mode))
            fail("exists and is no plain file, character device or named pipe");
    }
    target_ = finalTarget(fileName_);
    if (target_.empty()) fail(systemError("cannot be written"));
    createBeside();
}

// Like mkstemp, but created with the permissions of any new file (0666 less
// the umask) rather than 0600: the file will stand under the user's name.
void WavOutput::createBeside() {
    const std::string stem =
        folderOf(target_) + "/." + std::filesystem::path(target_).filename().string() + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = stem + randomSuffix();
        const TemporaryFileGuard::Blocked blocked;
        descriptor_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor_ >= 0) {
            temporaryName_ = name;
            if (!TemporaryFileGuard::arm(name)) fail("its name is too long");
            return;
        }
        if (errno != EEXIST) fail(systemError("cannot create a file in its folder"));
    }
    fail(systemError("cannot create a file in its folder"));
}

void WavOutput::writeHeader(int sampleRate, std::int64_t frames) {
    const std::uint32_t bytesPerFrame = kChannels * (floatSamples_ ? 4 : 2);
    const auto dataBytes = static_cast<std::uint32_t>(frames * bytesPerFrame);
    std::vector<unsigned char> header;
    putTag(header, "RIFF");
    put32(header, (floatSamples_ ? 50 : 36) + dataBytes);
    putTag(header, "WAVE");
    putTag(header, "fmt ");
    put32(header, floatSamples_ ? 18 : 16);
    put16(header, floatSamples_ ? 3 : 1);  // IEEE float or PCM
    put16(header, kChannels);
    put32(header, static_cast<std::uint32_t>(sampleRate));
    put32(header, static_cast<std::uint32_t>(sampleRate) * bytesPerFrame);
    put16(header, bytesPerFrame);
    put16(header, floatSamples_ ? 32 : 16);
    if (floatSamples_) {
        put16(header, 0);  // no extension
        putTag(header, "fact");
        put32(header, 4);
        put32(header, static_cast<std::uint32_t>(frames));
    }
    putTag(header, "data");
    put32(header, dataBytes);
    writeBytes(header.data(), header.size());
}

void WavOutput::write(const float* interleaved, int frames) {
    if (frames > framesLeft_) throw std::logic_error("more frames than the header announced");
    framesLeft_ -= frames;
    const std::size_t samples = static_cast<std::size_t>(frames) * kChannels;
    bytes_.clear();
    for (std::size_t i = 0; i < samples; ++i) {
        if (floatSamples_) {
            put32(bytes_, std::bit_cast<std::uint32_t>(interleaved[i]));
        } else {
            put16(bytes_, static_cast<std::uint16_t>(toSixteenBits(interleaved[i])));
        }
    }
    writeBytes(bytes_.data(), bytes_.size());
}

void WavOutput::writeBytes(const unsigned char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t written = ::write(descriptor_, bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) fail(systemError("cannot write"));
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
}

void WavOutput::commit() {
    if (framesLeft_ != 0) throw std::logic_error("fewer frames than the header announced");
    if (target_.empty()) return;  // written directly
    if (::fsync(descriptor_) != 0) fail(systemError("cannot write"));
    const int descriptor = std::exchange(descriptor_, -1);
    if (::close(descriptor) != 0) fail(systemError("cannot write"));
    {
        const TemporaryFileGuard::Blocked blocked;
        if (::rename(temporaryName_.c_str(), target_.c_str()) != 0)
            fail(systemError("cannot replace it"));
        committed_ = true;
        TemporaryFileGuard::disarm();
    }
    // The new name on the disk too; the file itself is already there.
    const int folder = ::open(folderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

void WavOutput::fail(const std::string& reason) const {
    throw RenderError{fileName_, reason};
}

}  // namespace trovik::render
