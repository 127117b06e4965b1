// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/sample_cache.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <fstream>

#include "tests/sound/test_wavs.h"

namespace trovik {
namespace {

constexpr int kRate = 44100;
constexpr std::int64_t kYear = 365LL * 24 * 3600 * 1'000'000'000;

// Every file looks long settled: only its stamp tells a change.
SampleCacheOptions settledFiles() {
    SampleCacheOptions options;
    options.fileClock = [] { return std::int64_t{4'000'000'000} * 1'000'000'000 + kYear; };
    return options;
}

class SampleCacheTest : public ::testing::Test {
  protected:
    testing::TempFolder folder;
    std::string writeTone(const std::string& name, double seconds, double frequency = 440.0) {
        return testing::writeToneWav(folder.path() / name, SF_FORMAT_PCM_16, 1, kRate, frequency,
                                     seconds);
    }
};

TEST_F(SampleCacheTest, ALentSoundOutlivesItsChangedOrDeletedFileUntilGivenBack) {
    SampleCache cache(kRate, settledFiles());
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

// New content written into the same file, with the same size and its
// modification time set back, plays at the next call: the write moved the
// status change time, or it came so soon after the last look that the
// cache does not trust the stamp.
TEST_F(SampleCacheTest, AFileRewrittenInPlaceWithItsOldTimesPlaysItsNewContent) {
    SampleCache cache(kRate);
    const std::string path = writeTone("hit.wav", 0.1, 441.0);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    ASSERT_NE(cache.get(path), nullptr);

    const std::string other = writeTone("other.wav", 0.1, 882.0);
    {
        std::ifstream in(other, std::ios::binary);
        std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
        out << in.rdbuf();
    }
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);

    const Sample* second = cache.get(path);
    ASSERT_NE(second, nullptr);
    EXPECT_NEAR(testing::risingZeroCrossings(second->frame(0), second->frameCount(), 0), 88, 1);
}

// A file whose status change time lies ahead of the clock (a file server
// whose clock is ahead) counts as changed when first seen: decoded again at
// every call within the timestamp step, as any file just changed, and once
// more after it; then not again.
TEST_F(SampleCacheTest, AFileChangedInTheFutureIsDecodedAgainOnlyWithinTheTimestampStep) {
    std::int64_t clock = 0;
    SampleCacheOptions options;
    options.fileClock = [&] { return clock; };
    SampleCache cache(kRate, options);
    const std::string path = writeTone("hit.wav", 0.01);
    // Lent, so that a new decoding cannot take the same address.
    const Sample* first = cache.get(path);
    cache.lend(first);
    clock += SampleCache::kTimestampStepNanoseconds / 2;
    EXPECT_NE(cache.get(path), first) << "just changed, as far as the cache can tell";
    clock += SampleCache::kTimestampStepNanoseconds;
    const Sample* settled = cache.get(path);
    cache.lend(settled);
    clock += kYear;
    EXPECT_EQ(cache.get(path), settled);
}

// A long file is playable after its first chunk; the rest arrives in the
// background and the sound ends up whole.
TEST_F(SampleCacheTest, ALongFileIsPlayableAtOnceAndCompletesInTheBackground) {
    SampleCache cache(48000);
    const Sample* sample = cache.get(writeTone("long.wav", 6.0));
    ASSERT_NE(sample, nullptr);
    EXPECT_GE(sample->framesReady(), 48000 / 20) << "at least 50 ms are ready at once";
    cache.waitForDecodings();
    EXPECT_EQ(cache.decodingsUnderWay(), 0);
    ASSERT_TRUE(sample->isComplete());
    EXPECT_NEAR(sample->frameCount(), 6 * 48000, 2);
    EXPECT_NEAR(testing::risingZeroCrossings(sample->frame(0), sample->frameCount(), 1), 6 * 440,
                3);
}

TEST_F(SampleCacheTest, StaysWithinItsBudgetByLettingTheLeastRecentlyPlayedGo) {
    const std::size_t oneSecondBytes = kRate * 2 * sizeof(float);
    SampleCacheOptions options = settledFiles();
    options.budgetBytes = 2 * oneSecondBytes + 1000;
    SampleCache cache(kRate, options);
    const std::string a = writeTone("a.wav", 1.0);
    const Sample* sampleA = cache.get(a);
    cache.get(writeTone("b.wav", 1.0));
    cache.get(a);  // a is now more recent than b
    cache.get(writeTone("c.wav", 1.0));
    cache.waitForDecodings();
    EXPECT_EQ(cache.samplesHeld(), 2u) << "b went";
    EXPECT_EQ(cache.get(a), sampleA) << "a stayed";
}

// A WAV of nearly 2 GB (a hole after a second of tone) costs the head and
// the ring, and its tone is ready at once. Once the file is replaced, the
// decoder lets go of the old sound and it is freed.
TEST_F(SampleCacheTest, AHugeFileIsStreamedInBoundedMemoryAndFreedWhenReplaced) {
    SampleCache cache(kRate, settledFiles());
    const auto path = folder.path() / "huge.wav";
    testing::writeLongToneWav(path, 1'900'000'000u, kRate, 440.0, 1.0);
    const Sample* sample = cache.get(path.string());
    ASSERT_NE(sample, nullptr);
    EXPECT_TRUE(sample->isStreamed());
    EXPECT_LE(cache.bytesCached(), 4u << 20);
    cache.waitForDecodings();
    EXPECT_NEAR(testing::risingZeroCrossings(sample->frame(0), kRate, 0), 440, 1);
    EXPECT_EQ(cache.decodingsUnderWay(), 1) << "its ring is still being filled";

    std::filesystem::remove(path);
    writeTone("huge.wav", 0.1);
    ASSERT_NE(cache.get(path.string()), nullptr);
    cache.waitForDecodings();
    EXPECT_EQ(cache.decodingsUnderWay(), 0);
    EXPECT_EQ(cache.samplesHeld(), 1u);
}

TEST_F(SampleCacheTest, WhatCannotBeDecodedPlaysNothingAndKeepsTheRest) {
    SampleCache cache(kRate, settledFiles());
    const Sample* good = cache.get(writeTone("good.wav", 0.1));
    const auto fifo = folder.path() / "pipe.wav";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto text = folder.path() / "text.wav";
    std::ofstream(text) << "not a sound";
    for (const auto& bad :
         {std::filesystem::path(), folder.path() / "gone.wav", fifo, text, folder.path()})
        EXPECT_EQ(cache.get(bad.string()), nullptr) << bad;
    EXPECT_EQ(cache.get((folder.path() / "good.wav").string()), good);
    EXPECT_EQ(cache.samplesHeld(), 1u);
}

}  // namespace
}  // namespace trovik
