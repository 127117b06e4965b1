#include "sound/sound_engine.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <thread>

#include "sound/drum_kit.h"

namespace trovik {
namespace {

// With SDL's dummy driver (the tests run with SDL_AUDIODRIVER=dummy) a real
// audio thread renders the mixer. The engine is torn down while a hit
// plays, with no close() by hand: under AddressSanitizer a sample freed
// before the audio thread stopped shows up here. Built twice, so SDL's
// audio subsystem must be given back as it was taken.
TEST(SoundEngine, PlaysThroughARealAudioThreadAndShutsDownSafelyWhileSounding) {
    for (int run = 0; run < 2; ++run) {
        SoundEngine engine(TROVIK_SAMPLE_DIR);
        EXPECT_TRUE(engine.sounding()) << "run " << run;
        EXPECT_GT(engine.sampleRate(), 0);
        const auto start = GridHit::Clock::now();
        for (int tick = 1; tick <= 3; ++tick) {
            engine.player().PlaySampleAt(DrumKit::kBassName,
                                         {start, std::chrono::milliseconds(1), tick});
        }
        engine.player().PlaySample(DrumKit::kSnareName);
    }
}

int niceOf(pid_t thread) {
    return getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
}

// The step timer's thread alone is raised: the thread that asks, not the
// process's first thread nor any other.
TEST(SoundEngine, RaisesOnlyTheStepTimerThread) {
    const pid_t mainThread = gettid();
    const int mainNiceBefore = niceOf(mainThread);
    bool raised = false;
    int timerNice = 0;
    std::thread timer([&] {
        raised = SoundEngine::raiseStepTimerThread();
        timerNice = niceOf(gettid());
    });
    timer.join();
    if (!raised) GTEST_SKIP() << "this system refuses a higher priority";
    EXPECT_LT(timerNice, mainNiceBefore);
    EXPECT_EQ(niceOf(mainThread), mainNiceBefore);
}

}  // namespace
}  // namespace trovik
