#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <functional>
#include <sstream>

#include "render/beat_render.h"
#include "tests/render/render_for_tests.h"
#include "tests/sound/test_wavs.h"

namespace trovik {
namespace {

struct Outcome {
    int status = -1;
    std::string errors;
};

// Every bad input gives exit status 1 and one line naming the file and the
// reason, and leaves the output folder as it was: no new file, an old
// output untouched.
struct BadInput {
    const char* name;
    // Sets the scene in the folder and changes the request to make it bad.
    std::function<void(const std::filesystem::path& folder, RenderRequest&)> spoil;
    const char* fileNamed;  // in the folder, or a whole path when it starts with '/'
    const char* reason;
    bool needsUnprivileged = false;  // a permission that root would not see
};

void writeBeat(const std::filesystem::path& folder, const QByteArray& bytes) {
    testing::writeFile(folder / "beat.tbk", bytes);
}
void makeFifo(const std::filesystem::path& path) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0666), 0);
}

const BadInput kBadInputs[] = {
    {"BeatMissing", [](auto& f, auto&) { std::filesystem::remove(f / "beat.tbk"); }, "beat.tbk",
     "No such file or directory"},
    {"BeatUnreadable", [](auto& f, auto&) { ::chmod((f / "beat.tbk").c_str(), 0); }, "beat.tbk",
     "Permission denied", true},
    {"BeatCutShort", [](auto& f, auto&) { writeBeat(f, testing::workedExampleBeat().left(80)); },
     "beat.tbk", "not a beat file (it ends inside the cells of line 3)"},
    {"BeatEmpty", [](auto& f, auto&) { writeBeat(f, ""); }, "beat.tbk",
     "not a beat file (its first line does not hold three texts and an interval from 0 to 999)"},
    {"IntervalNotANumber",
     [](auto& f, auto&) { writeBeat(f, testing::workedExampleBeat().replace("150", "fast")); },
     "beat.tbk", "its first line does not hold"},
    {"IntervalOutOfRange", [](auto& f, auto&) { writeBeat(f, testing::beatFileBytes(1000, {3})); },
     "beat.tbk", "its first line does not hold"},
    {"IntervalZero", [](auto& f, auto&) { writeBeat(f, testing::beatFileBytes(0, {3})); },
     "beat.tbk", "the interval is 0, so the beat never steps"},
    {"BeatIsAFolder", [](auto& f, auto& r) { r.beatFile = f.string(); }, "",
     "a folder, not a file"},
    {"BeatIsAPipe",
     [](auto& f, auto& r) {
         makeFifo(f / "pipe");
         r.beatFile = (f / "pipe").string();
     },
     "pipe", "a named pipe, not a file"},
    {"BeatIsADevice", [](auto&, auto& r) { r.beatFile = "/dev/zero"; }, "/dev/zero",
     "a device, not a file"},
    {"EffectMissing", [](auto& f, auto& r) { r.effectFile = (f / "none.wav").string(); },
     "none.wav", "No such file or directory"},
    {"EffectIsAPipe",
     [](auto& f, auto& r) {
         makeFifo(f / "pipe.wav");
         r.effectFile = (f / "pipe.wav").string();
     },
     "pipe.wav", "a named pipe, not a file"},
    {"EffectIsAFolder", [](auto& f, auto& r) { r.effectFile = f.string(); }, "",
     "a folder, not a file"},
    {"EffectIsADevice", [](auto&, auto& r) { r.effectFile = "/dev/urandom"; }, "/dev/urandom",
     "a device, not a file"},
    {"EffectUndecodable",
     [](auto& f, auto& r) {
         testing::writeFile(f / "text.wav", "RIFF but not really a WAV file");
         r.effectFile = (f / "text.wav").string();
     },
     "text.wav", "not a WAV file this program can play"},
    {"DrumsMissing", [](auto& f, auto& r) { r.dataFolder = f / "nothing"; }, "nothing/bass.wav",
     "No such file or directory"},
    {"OutputFolderMissing", [](auto& f, auto& r) { r.outputFile = (f / "no/out.wav").string(); },
     "no/out.wav", "cannot create a file in its folder (No such file or directory)"},
    {"OutputFolderReadOnly",
     [](auto& f, auto& r) {
         std::filesystem::create_directory(f / "locked");
         ::chmod((f / "locked").c_str(), 0555);
         r.outputFile = (f / "locked/out.wav").string();
     },
     "locked/out.wav", "cannot create a file in its folder (Permission denied)", true},
    {"OutputIsAFolder",
     [](auto& f, auto& r) {
         std::filesystem::create_directory(f / "out.wav.d");
         r.outputFile = (f / "out.wav.d").string();
     },
     "out.wav.d", "a folder, not a file"},
    {"OutputEndsInASlash", [](auto& f, auto& r) { r.outputFile = f.string() + "/"; }, "/",
     "names a folder, not a file"},
    {"OutputIsAPipe",
     [](auto& f, auto& r) {
         makeFifo(f / "out.pipe");
         r.outputFile = (f / "out.pipe").string();
     },
     "out.pipe", "exists and is not a plain file"},
    {"NoLoops", [](auto&, auto& r) { r.loops = 0; }, "out.wav",
     "the loop count must be 1 or more, not 0"},
    {"NegativeLoops", [](auto&, auto& r) { r.loops = -3; }, "out.wav",
     "the loop count must be 1 or more, not -3"},
    // 16 steps of 150 ms at 48 kHz in 16 bits: 460,800 bytes a loop.
    {"LoopsOver4GiB", [](auto&, auto& r) { r.loops = 9321; }, "out.wav",
     "9321 loops make a WAV file over 4 GiB"},
    {"LoopsOver4GiBInFloat",
     [](auto&, auto& r) {
         r.loops = 4661;
         r.floatSamples = true;
     },
     "out.wav", "4661 loops make a WAV file over 4 GiB"},
    {"LoopsFarTooMany", [](auto&, auto& r) { r.loops = LLONG_MAX; }, "out.wav",
     "loops make a WAV file over 4 GiB"},
    {"RateTooLow", [](auto&, auto& r) { r.sampleRate = 7999; }, "out.wav",
     "the sample rate must be from 8000 to 192000 Hz, not 7999"},
    {"RateTooHigh", [](auto&, auto& r) { r.sampleRate = 192001; }, "out.wav",
     "the sample rate must be from 8000 to 192000 Hz, not 192001"},
};

// Runs the render as an ordinary user when this process is root, for whom
// no permission bit counts: in a child that gives up root first.
Outcome runRender(const RenderRequest& request, bool unprivileged) {
    if (!unprivileged || ::geteuid() != 0) {
        Outcome outcome;
        std::ostringstream errors;
        outcome.status = renderBeat(request, errors, nullptr);
        outcome.errors = errors.str();
        return outcome;
    }
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(99);
        std::ostringstream errors;
        const int status = renderBeat(request, errors, nullptr);
        const std::string text = errors.str();
        const bool written =
            ::write(pipeEnds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(written ? status : 98);
    }
    ::close(pipeEnds[1]);
    Outcome outcome;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        outcome.errors.append(buffer, static_cast<std::size_t>(got));
    ::close(pipeEnds[0]);
    int waited = 0;
    ::waitpid(child, &waited, 0);
    outcome.status = WIFEXITED(waited) ? WEXITSTATUS(waited) : -1;
    return outcome;
}

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        names.push_back(entry.path().lexically_relative(folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

class RenderErrors : public ::testing::TestWithParam<BadInput> {
  protected:
    testing::TempFolder folder;

    RenderRequest goodRequest() {
        // Open to the ordinary user the unprivileged cases run as.
        ::chmod(folder.path().c_str(), 0777);
        writeBeat(folder.path(), testing::workedExampleBeat());
        RenderRequest request;
        request.beatFile = (folder.path() / "beat.tbk").string();
        request.outputFile = (folder.path() / "out.wav").string();
        request.dataFolder = TROVIK_SAMPLE_DIR;
        return request;
    }

    // The render fails as it should, and leaves the folder as it was.
    void expectRefused(const RenderRequest& request, const std::string& fileNamed,
                       const std::string& reason, bool unprivileged) {
        const std::vector<std::string> before = namesIn(folder.path());
        const QByteArray oldOutput = testing::readFile(request.outputFile);
        const Outcome outcome = runRender(request, unprivileged);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(std::count(outcome.errors.begin(), outcome.errors.end(), '\n'), 1)
            << outcome.errors;
        EXPECT_TRUE(outcome.errors.starts_with("trovik: " + fileNamed + ": ")) << outcome.errors;
        EXPECT_NE(outcome.errors.find(reason), std::string::npos) << outcome.errors;
        EXPECT_EQ(namesIn(folder.path()), before);
        EXPECT_EQ(testing::readFile(request.outputFile), oldOutput);
    }

    std::string named(const char* file) const {
        if (file[0] == '\0') return folder.path().string();
        if (file[0] == '/' && file[1] != '\0') return file;
        return (folder.path() / file).string();
    }
};

TEST_P(RenderErrors, ExitOneWithOneLineAndNoFileWritten) {
    const BadInput& bad = GetParam();
    RenderRequest request = goodRequest();
    bad.spoil(folder.path(), request);
    const std::string fileNamed =
        std::string(bad.fileNamed) == "/" ? request.outputFile : named(bad.fileNamed);
    {
        SCOPED_TRACE("no output file before");
        expectRefused(request, fileNamed, bad.reason, bad.needsUnprivileged);
    }
    const bool outputIsAPlainFileName =
        !std::filesystem::exists(request.outputFile) &&
        std::filesystem::exists(std::filesystem::path(request.outputFile).parent_path());
    if (outputIsAPlainFileName && !bad.needsUnprivileged) {
        SCOPED_TRACE("an old output file before");
        testing::writeFile(request.outputFile, "an old file, to keep");
        expectRefused(request, fileNamed, bad.reason, bad.needsUnprivileged);
    }
}

INSTANTIATE_TEST_SUITE_P(BadInputs, RenderErrors, ::testing::ValuesIn(kBadInputs),
                         [](const auto& info) { return std::string(info.param.name); });

// The disk fills up while the file is written: here through the file size
// limit, which makes a write fail the same way (with the signal it would
// send ignored).
TEST_F(RenderErrors, AFullDiskLeavesNoFileAndTheOldOneAsItWas) {
    const RenderRequest request = [this] {
        RenderRequest asked = goodRequest();
        asked.loops = 4;  // 1.8 MB
        return asked;
    }();
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 100'000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    testing::writeFile(request.outputFile, "an old file, to keep");
    expectRefused(request, request.outputFile, "cannot write (File too large)", false);
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
}

}  // namespace
}  // namespace trovik
