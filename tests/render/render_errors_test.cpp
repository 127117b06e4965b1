// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <sstream>

#include "render/beat_render.h"
#include "tests/render/render_for_tests.h"
#include "tests/sound/test_wavs.h"

namespace trovik {
namespace {

// A good render of the worked example in a scratch folder, for a bad input
// to spoil.
struct Scene {
    std::filesystem::path folder;
    RenderRequest request;

    std::string in(const char* name) const { return (folder / name).string(); }
    std::string file(const char* name, const QByteArray& bytes) const {
        testing::writeFile(in(name), bytes);
        return in(name);
    }
    std::string fifo(const char* name) const {
        ::mkfifo(in(name).c_str(), 0666);
        return in(name);
    }
    std::string subfolder(const char* name) const {
        std::filesystem::create_directory(in(name));
        return in(name);
    }
};

// Every bad input gives exit status 1 and one line naming the file and the
// reason, and leaves the output folder as it was: no new file, an old
// output untouched.
struct BadInput {
    const char* name;
    void (*spoil)(Scene&);
    const char* fileNamed;  // in the folder, or a whole path when it starts with '/'
    const char* reason;
    bool asNobody = false;  // a permission that root would not see
};

const BadInput kBadInputs[] = {
    {"BeatMissing", [](Scene& s) { s.request.beatFile = s.in("none"); }, "none",
     "No such file or directory"},
    {"BeatUnreadable", [](Scene& s) { ::chmod(s.in("beat.tbk").c_str(), 0); }, "beat.tbk",
     "Permission denied", true},
    {"BeatCutShort", [](Scene& s) { s.file("beat.tbk", testing::workedExampleBeat().left(80)); },
     "beat.tbk", "not a beat file (it ends inside the cells of line 3)"},
    {"BeatEmpty", [](Scene& s) { s.file("beat.tbk", ""); }, "beat.tbk",
     "not a beat file (its first line does not hold three texts and an interval from 0 to 999)"},
    {"IntervalZero", [](Scene& s) { s.file("beat.tbk", testing::beatFileBytes(0, {3})); },
     "beat.tbk", "the interval is 0, so the beat never steps"},
    {"BeatIsAFolder", [](Scene& s) { s.request.beatFile = s.subfolder("d"); }, "d",
     "a folder, not a file"},
    {"BeatIsAPipe", [](Scene& s) { s.request.beatFile = s.fifo("p"); }, "p",
     "a named pipe, not a file"},
    {"EffectIsADevice", [](Scene& s) { s.request.effectFile = "/dev/zero"; }, "/dev/zero",
     "a device, not a file"},
    {"EffectUndecodable", [](Scene& s) { s.request.effectFile = s.file("t.wav", "RIFF, no"); },
     "t.wav", "not a WAV file this program can play"},
    {"DrumsMissing", [](Scene& s) { s.request.dataFolder = s.in("none"); }, "none/bass.wav",
     "No such file or directory"},
    {"OutputFolderMissing", [](Scene& s) { s.request.outputFile = s.in("no/out.wav"); },
     "no/out.wav", "cannot create a file in its folder (No such file or directory)"},
    {"OutputIsAFolder", [](Scene& s) { s.request.outputFile = s.subfolder("d"); }, "d",
     "a folder, not a file"},
    {"OutputEndsInASlash", [](Scene& s) { s.request.outputFile = s.in("d/"); }, "d/",
     "names a folder, not a file"},
    {"OutputIsTheBeatThroughALink",
     [](Scene& s) {
         std::filesystem::create_symlink("beat.tbk", s.in("o.wav"));
         s.request.outputFile = s.in("o.wav");
     },
     "o.wav", "is the beat file, which the render reads"},
    {"OutputIsTheEffectByAnotherPath",
     [](Scene& s) {
         std::filesystem::copy_file(TROVIK_SAMPLE_DIR "/snare.wav", s.in("fx.wav"));
         s.request.effectFile = s.in("fx.wav");
         s.request.outputFile = s.in("./fx.wav");
     },
     "./fx.wav", "is the effect file"},
    {"BeatLongerThanLoadReads",
     [](Scene& s) { s.file("beat.tbk", "\"" + QByteArray(17 << 20, 'x')); }, "beat.tbk",
     "not a beat file within its first 16 MiB"},
    {"NoLoops", [](Scene& s) { s.request.loops = 0; }, "out.wav", "must be 1 or more, not 0"},
    // 16 steps of 150 ms at 48 kHz in 16 bits: 460,800 bytes a loop.
    {"LoopsOver4GiB", [](Scene& s) { s.request.loops = 9321; }, "out.wav",
     "9321 loops make a WAV file over 4 GiB"},
    {"LoopsOver4GiBInFloat",
     [](Scene& s) { s.request.loops = 4661, s.request.floatSamples = true; }, "out.wav",
     "4661 loops make a WAV file over 4 GiB"},
    {"LoopsFarTooMany", [](Scene& s) { s.request.loops = LLONG_MAX; }, "out.wav",
     "loops make a WAV file over 4 GiB"},
    {"RateTooLow", [](Scene& s) { s.request.sampleRate = 7999; }, "out.wav",
     "the sample rate must be from 8000 to 192000 Hz, not 7999"},
    {"RateTooHigh", [](Scene& s) { s.request.sampleRate = 192001; }, "out.wav", "not 192001"},
};

// Gives up root for a scope, so that permission bits count.
class AsNobody {
  public:
    explicit AsNobody(bool wanted) : dropped_(wanted && ::geteuid() == 0) {
        if (dropped_ && ::seteuid(65534) != 0) std::abort();
    }
    ~AsNobody() {
        if (dropped_ && ::seteuid(0) != 0) std::abort();
    }

  private:
    bool dropped_;
};

class RenderErrors : public ::testing::TestWithParam<BadInput> {
  protected:
    testing::TempFolder folder;
    Scene scene = goodScene();

    Scene goodScene() {
        ::chmod(folder.path().c_str(), 0777);  // open to nobody
        Scene good{folder.path(), {}};
        good.request.beatFile = good.file("beat.tbk", testing::workedExampleBeat());
        good.request.outputFile = good.in("out.wav");
        good.request.dataFolder = TROVIK_SAMPLE_DIR;
        return good;
    }

    void expectRefused(const std::string& fileNamed, const std::string& reason, bool asNobody) {
        const std::vector<std::string> before = testing::namesIn(folder.path());
        const QByteArray oldOutput = testing::readFile(scene.request.outputFile);
        std::ostringstream errors;
        const int status = [&] {
            const AsNobody nobody(asNobody);
            return renderBeat(scene.request, errors, nullptr);
        }();
        const std::string text = errors.str();
        EXPECT_EQ(status, 1);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
        EXPECT_TRUE(text.starts_with("trovik: " + fileNamed + ": ")) << text;
        EXPECT_NE(text.find(reason), std::string::npos) << text;
        EXPECT_EQ(testing::namesIn(folder.path()), before);
        EXPECT_EQ(testing::readFile(scene.request.outputFile), oldOutput);
    }
};

TEST_P(RenderErrors, ExitOneWithOneLineAndNoFileWritten) {
    const BadInput& bad = GetParam();
    bad.spoil(scene);
    const std::string named = bad.fileNamed[0] == '/' ? bad.fileNamed : scene.in(bad.fileNamed);
    {
        SCOPED_TRACE("no output file before");
        expectRefused(named, bad.reason, bad.asNobody);
    }
    const std::filesystem::path output = scene.request.outputFile;
    if (!std::filesystem::exists(output) && std::filesystem::exists(output.parent_path())) {
        SCOPED_TRACE("an old output file before");
        testing::writeFile(output, "an old file, to keep");
        expectRefused(named, bad.reason, bad.asNobody);
    }
}

INSTANTIATE_TEST_SUITE_P(BadInputs, RenderErrors, ::testing::ValuesIn(kBadInputs),
                         [](const auto& info) { return std::string(info.param.name); });

// The disk fills up while the file is written: here through the file size
// limit, which makes a write fail the same way (with the signal it would
// send ignored).
TEST_F(RenderErrors, AFullDiskLeavesNoFileAndTheOldOneAsItWas) {
    scene.request.loops = 4;  // 1.8 MB
    testing::writeFile(scene.request.outputFile, "an old file, to keep");
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 100'000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    expectRefused(scene.request.outputFile, "cannot write (File too large)", false);
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
}

}  // namespace
}  // namespace trovik
