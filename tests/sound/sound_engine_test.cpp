#include "sound/sound_engine.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace trovik
