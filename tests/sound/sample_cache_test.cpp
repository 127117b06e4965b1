#include "sample_cache.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "test_wavs.h"

namespace trovik {
namespace {

using testing::TempFolder;
using testing::writeToneWav;

constexpr int kRate = 44100;

class SampleCacheTest : public ::testing::Test {
protected:
    static void waitForDecoding(SampleCache& cache) {
        for (int i = 0; i < 500 && (cache.collectDecoded(), cache.decodingsUnderWay() > 0); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ASSERT_EQ(cache.decodingsUnderWay(), 0);
    }

    TempFolder folder;
    std::string writeTone(const std::string& name, double seconds) {
        return writeToneWav(folder.path() / name, SF_FORMAT_PCM_16, 1, kRate, 440.0, seconds);
    }
};

TEST_F(SampleCacheTest, AnUnchangedFileIsDecodedOnceAndAChangedOneAgain) {
    SampleCache cache(kRate);
    const std::string path = writeTone("hit.wav", 0.01);
    const Sample* first = cache.get(path);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(cache.get(path), first);

    writeTone("hit.wav", 0.02);
    const Sample* changed = cache.get(path);
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(changed->frameCount(), 882);
    EXPECT_EQ(cache.samplesHeld(), 1u) << "the old sound was not lent, so it is gone";
}

TEST_F(SampleCacheTest, ALentSoundOutlivesItsFileUntilGivenBack) {
    SampleCache cache(kRate);
    const std::string path = writeTone("hit.wav", 0.01);
    const Sample* playing = cache.get(path);
    cache.lend(playing);
    cache.lend(playing);

    std::filesystem::remove(path);
    EXPECT_EQ(cache.get(path), nullptr) << "a file that went away plays nothing";
    EXPECT_EQ(cache.samplesHeld(), 1u);
    cache.giveBack(playing);
    EXPECT_EQ(cache.samplesHeld(), 1u) << "still lent once";
    cache.giveBack(playing);
    EXPECT_EQ(cache.samplesHeld(), 0u);
}

// A long file is playable after its first chunk; the rest arrives in the
// background and the sound ends up whole.
TEST_F(SampleCacheTest, ALongFileIsPlayableAtOnceAndCompletesInTheBackground) {
    SampleCache cache(48000);
    const std::string path = writeTone("long.wav", 6.0);
    const Sample* sample = cache.get(path);
    ASSERT_NE(sample, nullptr);
    EXPECT_GE(sample->framesReady(), 48000 / 20) << "at least 50 ms are ready at once";
    waitForDecoding(cache);
    ASSERT_TRUE(sample->isComplete());
    EXPECT_NEAR(sample->frameCount(), 6 * 48000, 2);
    EXPECT_NEAR(testing::risingZeroCrossings(sample->frame(0), sample->frameCount(), 1), 6 * 440, 3);
}

TEST_F(SampleCacheTest, AFileThatIsNoWavPlaysNothingUntilItBecomesOne) {
    SampleCache cache(kRate);
    const auto path = folder.path() / "later.wav";
    std::ofstream(path) << "not yet";
    EXPECT_EQ(cache.get(path.string()), nullptr);
    EXPECT_EQ(cache.get(path.string()), nullptr);
    writeTone("later.wav", 0.01);
    EXPECT_NE(cache.get(path.string()), nullptr);
    EXPECT_EQ(cache.get(""), nullptr);
    EXPECT_EQ(cache.get(folder.path().string()), nullptr) << "a folder";
}

TEST_F(SampleCacheTest, StaysWithinItsBudgetByLettingTheLeastRecentlyPlayedGo) {
    const std::size_t oneSecondBytes = kRate * 2 * sizeof(float);
    SampleCache cache(kRate, 2 * oneSecondBytes + 1000);
    const std::string a = writeTone("a.wav", 1.0);
    const std::string b = writeTone("b.wav", 1.0);
    const std::string c = writeTone("c.wav", 1.0);
    const Sample* sampleA = cache.get(a);
    cache.lend(sampleA);
    cache.get(b);
    cache.get(a);  // a is now more recent than b
    cache.get(c);
    waitForDecoding(cache);
    EXPECT_LE(cache.bytesCached(), 2 * oneSecondBytes + 1000);
    EXPECT_EQ(cache.samplesHeld(), 2u) << "b went";
    EXPECT_EQ(cache.get(a), sampleA) << "a stayed";
    cache.giveBack(sampleA);
}

}  // namespace
}  // namespace trovik
