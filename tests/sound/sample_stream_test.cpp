// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sound/sample_filler.h"
#include "sound/wav_decoder.h"
#include "tests/sound/test_wavs.h"

namespace trovik {
namespace {

constexpr int kHead = 4096;
constexpr int kRing = 1500;  // not a divisor of anything in sight, so reads wrap mid-buffer

// Works the filler until the head is decoded (`headOnly`) or until it has
// nothing left to do; fails, instead of spinning on, when it never gets there.
void workFiller(SampleFiller& filler, int frames, bool headOnly) {
    for (int pieces = 0; !(headOnly && filler.headDone()); ++pieces) {
        if (pieces == 100'000) {
            ADD_FAILURE() << "the filler never finished";
            return;
        }
        if (!filler.step(frames) && !headOnly) return;
    }
}

// A streamed sample and its decoder, played the way the mixer's voice
// plays it, the decoder doing `decoderSteps` pieces of work of `stepFrames`
// frames after each buffer.
struct Stream {
    std::unique_ptr<Sample> sample = Sample::streamed(kHead, kRing);
    SampleFiller filler;
    int stepFrames = 700;
    int decoderSteps = 1;
    int restarts = 0;  // pieces of work that went back instead of forward
    bool ended = false;

    Stream(const std::string& path, int rate) : filler(WavDecoding::open(path, rate), *sample) {}

    // As the sample cache hands it to the background decoder.
    void decodeHead() { workFiller(filler, stepFrames, true); }
    // One piece of the decoder's work; false when it had none.
    bool step() {
        const std::int64_t before = sample->streamedUntil();
        const bool worked = filler.step(stepFrames);
        if (worked && sample->streamedUntil() <= before) ++restarts;
        return worked;
    }
    // The decoder works until it has nothing to do; false when it never got there.
    bool settle() {
        for (int i = 0; i < 100; ++i) {
            if (!step()) return true;
        }
        return false;
    }
    // Plays from `from` until the sound ends or `to` in buffers of `buffer`
    // frames. A voice that waits reads again after a short read, for as
    // long as the decoder gets on; a steady one stops at the first: every
    // buffer is due at once, so a short read is a gap in the sound.
    std::vector<float> play(std::int64_t from, std::int64_t to, int buffer = 256,
                            bool waits = true) {
        std::vector<float> heard;
        std::vector<float> out(static_cast<std::size_t>(buffer) * Sample::kChannels);
        ended = false;
        for (int idle = 0; idle < 1000 && !ended && from < to; ++idle) {
            const int wanted = static_cast<int>(std::min<std::int64_t>(buffer, to - from));
            const Sample::Read read = sample->read(from, out.data(), wanted);
            heard.insert(heard.end(), out.begin(), out.begin() + read.frames * Sample::kChannels);
            from += read.frames;
            ended = read.ended;
            if (read.frames < wanted && !waits) break;
            if (read.frames > 0) idle = 0;
            for (int i = 0; i < decoderSteps; ++i) step();
        }
        return heard;
    }
};

std::vector<float> whole(const std::string& path, int rate) {
    const std::unique_ptr<Sample> sample = decodeWav(path, rate);
    return {sample->frame(0), sample->frame(0) + sample->frameCount() * Sample::kChannels};
}

std::vector<float> framesBetween(const std::vector<float>& frames, std::int64_t from,
                                 std::int64_t to) {
    return {frames.begin() + from * Sample::kChannels, frames.begin() + to * Sample::kChannels};
}

// Every frame of a streamed sound, in every pass, is the frame a whole
// decoding gives, whether the file is read at its own rate or converted;
// a start after the ring was passed goes back behind the head, one inside
// the head finds the ring still good.
TEST(StreamedSample, EveryStartPlaysTheWholeSoundFrameForFrame) {
    testing::TempFolder folder;
    for (const int fileRate : {44100, 22050}) {
        SCOPED_TRACE(fileRate);
        const std::string path = testing::writeToneWav(folder.path() / "long.wav", SF_FORMAT_PCM_16,
                                                       1, fileRate, 523.0, 0.5);
        const std::vector<float> reference = whole(path, 44100);
        Stream stream(path, 44100);
        stream.decoderSteps = 4;
        constexpr std::int64_t kAll = 1 << 30;

        EXPECT_EQ(stream.play(0, kAll), reference);
        EXPECT_TRUE(stream.ended);
        EXPECT_EQ(stream.play(0, kAll), reference) << "the second start, after the ring was passed";
        EXPECT_EQ(stream.play(0, 1000), framesBetween(reference, 0, 1000)) << "cut inside the head";
        EXPECT_EQ(stream.play(0, kHead + 2000), framesBetween(reference, 0, kHead + 2000))
            << "cut in the ring";
        stream.decoderSteps = 1;  // a slow decoder: the voice waits for it
        stream.stepFrames = 100;
        EXPECT_EQ(stream.play(0, kAll), reference);
        EXPECT_TRUE(stream.ended);
    }
}

// Some codecs inside a WAV file can only be read straight through (G.721
// ADPCM among them). Such a stream could never go back behind its head, so
// every start sounds the same: its head, and no more.
TEST(StreamedSample, AFileThatCannotSeekSoundsItsHeadAtEveryStart) {
    testing::TempFolder folder;
    const std::string path =
        testing::writeToneWav(folder.path() / "adpcm.wav", SF_FORMAT_G721_32, 1, 44100, 523.0, 0.5);
    ASSERT_FALSE(WavDecoding::open(path, 44100)->canSeek());
    Stream stream(path, 44100);
    const std::vector<float> first = stream.play(0, 1 << 30);
    EXPECT_TRUE(stream.ended);
    EXPECT_EQ(first.size(), std::size_t{kHead} * Sample::kChannels);
    EXPECT_EQ(stream.play(0, 1 << 30), first);
}

// However far ahead the decoder runs, it never writes over frames not yet
// played; nor does the player ever get frames that are not written.
TEST(StreamedSample, TheRingHoldsExactlyTheFramesAheadOfThePlayer) {
    testing::TempFolder folder;
    const std::string path =
        testing::writeToneWav(folder.path() / "tone.wav", SF_FORMAT_PCM_16, 2, 48000, 300.0, 0.3);
    const std::vector<float> reference = whole(path, 48000);
    const auto sample = Sample::streamed(kHead, kRing);
    SampleFiller filler(WavDecoding::open(path, 48000), *sample);
    workFiller(filler, 1000, true);
    std::vector<float> out(4000 * Sample::kChannels);
    EXPECT_EQ(sample->read(kHead, out.data(), 10).frames, 0) << "nothing streamed yet";
    workFiller(filler, 1000, false);
    EXPECT_EQ(sample->streamedUntil(), kHead + kRing) << "filled up to the ring, no further";
    EXPECT_EQ(sample->read(kHead - 100, out.data(), 4000).frames, 100 + kRing);
    EXPECT_EQ(framesBetween(out, 0, 100 + kRing),
              framesBetween(reference, kHead - 100, kHead + kRing));
    workFiller(filler, 1000, false);
    EXPECT_EQ(sample->streamedUntil(), kHead + 2 * kRing) << "refilled as far as the player got";
    EXPECT_EQ(sample->read(kHead + kRing, out.data(), 1).frames, 1);
}

// A pattern hits the same long sample on every step: each hit starts it in
// the head again. Once the ring holds the frames that follow the head, those
// starts cost the decoder nothing. After the voice played on past the ring,
// a new start in the head sends the decoding back to the end of the head
// once; the ring is then refilled and left alone, and the voice plays on
// from the head into it unbroken.
TEST(StreamedSample, StartsInsideTheHeadRefillTheRingOnlyOnceItMovedOn) {
    testing::TempFolder folder;
    const std::string path =
        testing::writeToneWav(folder.path() / "long.wav", SF_FORMAT_PCM_16, 2, 44100, 523.0, 0.5);
    const std::vector<float> reference = whole(path, 44100);
    Stream stream(path, 44100);
    stream.decodeHead();
    ASSERT_TRUE(stream.settle()) << "the decoder never rests while the voice waits at the start";
    EXPECT_EQ(stream.sample->streamedFrom(), kHead);
    EXPECT_EQ(stream.sample->streamedUntil(), kHead + kRing);
    std::vector<float> out(256 * Sample::kChannels);
    for (int hit = 0; hit < 20; ++hit) {
        for (int at = 0; at < 256 * (hit % 4 + 1); at += 256) {
            stream.sample->read(at, out.data(), 256);
            EXPECT_FALSE(stream.filler.step(stream.stepFrames))
                << "hit " << hit << ", frame " << at;
        }
    }
    EXPECT_EQ(stream.sample->streamedUntil(), kHead + kRing);

    ASSERT_EQ(stream.play(0, kHead + 3 * kRing, 256, false).size(),
              static_cast<std::size_t>(kHead + 3 * kRing) * Sample::kChannels);
    ASSERT_GT(stream.sample->streamedFrom(), kHead);
    ASSERT_EQ(stream.restarts, 0);
    stream.sample->read(0, out.data(), 256);
    EXPECT_TRUE(stream.settle()) << "the decoder never rests after the new start";
    EXPECT_EQ(stream.restarts, 1);
    EXPECT_EQ(stream.sample->streamedFrom(), kHead);
    EXPECT_EQ(stream.sample->streamedUntil(), kHead + kRing);
    stream.sample->read(256, out.data(), 256);
    EXPECT_FALSE(stream.step()) << "a second start in the head";
    EXPECT_EQ(stream.restarts, 1);
    EXPECT_EQ(stream.play(512, kHead + 2 * kRing, 256, false),
              framesBetween(reference, 512, kHead + 2 * kRing));
}

// A voice that plays on from the head into the ring finds the frames there
// without a wait, on the first start and on a start after the ring moved
// on, whatever the buffer size, as long as the decoder keeps up with it.
TEST(StreamedSample, AVoiceCrossesFromHeadToRingWithoutAGap) {
    testing::TempFolder folder;
    const std::string path =
        testing::writeToneWav(folder.path() / "long.wav", SF_FORMAT_PCM_16, 2, 44100, 523.0, 0.5);
    const std::vector<float> reference = whole(path, 44100);
    const std::int64_t pastTheRing = kHead + 3 * kRing;
    for (const int buffer : {128, 256, 300, 441, 512}) {
        SCOPED_TRACE(buffer);
        Stream stream(path, 44100);
        stream.decodeHead();
        for (const char* start : {"the first start", "a start after the ring moved on"}) {
            const std::vector<float> heard = stream.play(0, pastTheRing, buffer, false);
            EXPECT_EQ(heard.size() / Sample::kChannels, pastTheRing) << start << " ran dry there";
            EXPECT_TRUE(heard == framesBetween(reference, 0, heard.size() / Sample::kChannels))
                << start;
        }
    }
}

TEST(StreamedSample, AFileShorterThanItsHeadEndsWithinIt) {
    testing::TempFolder folder;
    const std::string path =
        testing::writeToneWav(folder.path() / "short.wav", SF_FORMAT_PCM_16, 1, 44100, 440.0, 0.05);
    Stream stream(path, 44100);
    EXPECT_EQ(stream.play(0, 1 << 30), whole(path, 44100));
    EXPECT_TRUE(stream.ended);
    EXPECT_TRUE(stream.filler.finished());
}

}  // namespace
}  // namespace trovik
