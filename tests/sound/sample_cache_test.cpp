#include "sample_cache.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <thread>

#include "test_wavs.h"

namespace trovik {
namespace {

constexpr int kRate = 44100;

class SampleCacheTest : public ::testing::Test {
protected:
    testing::TempFolder folder;
    std::string writeTone(const std::string& name, double seconds) {
        return testing::writeToneWav(folder.path() / name, SF_FORMAT_PCM_16, 1, kRate, 440.0, seconds);
    }
    static void waitForDecoding(SampleCache& cache) {
        for (int i = 0; i < 500 && (cache.collectDecoded(), cache.decodingsUnderWay() > 0); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ASSERT_EQ(cache.decodingsUnderWay(), 0);
    }
};

TEST_F(SampleCacheTest, ALentSoundOutlivesItsChangedOrDeletedFileUntilGivenBack) {
    SampleCache cache(kRate);
    const std::string path = writeTone("hit.wav", 0.01);
    const Sample* playing = cache.get(path);
    ASSERT_NE(playing, nullptr);
    EXPECT_EQ(cache.get(path), playing) << "unchanged: decoded once";
    cache.lend(playing);
    writeTone("hit.wav", 0.02);
    EXPECT_EQ(cache.get(path)->frameCount(), 882) << "changed: decoded again";
    std::filesystem::remove(path);
    EXPECT_EQ(cache.get(path), nullptr);
    EXPECT_EQ(cache.samplesHeld(), 1u) << "only the lent one is left";
    cache.giveBack(playing);
    EXPECT_EQ(cache.samplesHeld(), 0u);
}

// A long file is playable after its first chunk; the rest arrives in the
// background and the sound ends up whole.
TEST_F(SampleCacheTest, ALongFileIsPlayableAtOnceAndCompletesInTheBackground) {
    SampleCache cache(48000);
    const Sample* sample = cache.get(writeTone("long.wav", 6.0));
    ASSERT_NE(sample, nullptr);
    EXPECT_GE(sample->framesReady(), 48000 / 20) << "at least 50 ms are ready at once";
    waitForDecoding(cache);
    ASSERT_TRUE(sample->isComplete());
    EXPECT_NEAR(sample->frameCount(), 6 * 48000, 2);
    EXPECT_NEAR(testing::risingZeroCrossings(sample->frame(0), sample->frameCount(), 1), 6 * 440, 3);
}

TEST_F(SampleCacheTest, StaysWithinItsBudgetByLettingTheLeastRecentlyPlayedGo) {
    const std::size_t oneSecondBytes = kRate * 2 * sizeof(float);
    SampleCache cache(kRate, 2 * oneSecondBytes + 1000);
    const std::string a = writeTone("a.wav", 1.0);
    const Sample* sampleA = cache.get(a);
    cache.get(writeTone("b.wav", 1.0));
    cache.get(a);  // a is now more recent than b
    cache.get(writeTone("c.wav", 1.0));
    waitForDecoding(cache);
    EXPECT_EQ(cache.samplesHeld(), 2u) << "b went";
    EXPECT_EQ(cache.get(a), sampleA) << "a stayed";
}

}  // namespace
}  // namespace trovik
