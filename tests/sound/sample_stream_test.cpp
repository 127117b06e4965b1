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
constexpr std::int64_t kAll = 1 << 30;

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

    // One piece of the decoder's work; false when it had none.
    bool step() {
        const std::int64_t before = sample->streamedUntil();
        const bool worked = filler.step(stepFrames);
        if (worked && sample->streamedUntil() <= before) ++restarts;
        return worked;
    }
    // The decoder works until it has nothing to do (as the sample cache's
    // background decoder does once the head is ready); false when it never
    // got there.
    bool settle() {
        for (int i = 0; i < 100; ++i) {
            if (!filler.headDone())
                filler.step(stepFrames);
            else if (!step())
                return true;
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

std::vector<float> whole(const std::string& path, int rate, std::int64_t frames = kAll) {
    const std::unique_ptr<Sample> sample = decodeWav(path, rate);
    return {sample->frame(0),
            sample->frame(0) +
                std::min<std::int64_t>(frames, sample->frameCount()) * Sample::kChannels};
}

// Every frame of a streamed sound, in every pass, is the frame a whole
// decoding gives, whether the file is read at its own rate or converted,
// longer than its head or not; a start after the ring was passed goes back
// behind the head, one inside the head finds the ring still good. Some
// codecs inside a WAV file can only be read straight through (G.721 ADPCM
// among them): such a stream could never go back behind its head, so every
// start sounds its head and no more.
TEST(StreamedSample, EveryStartPlaysTheWholeSoundFrameForFrame) {
    testing::TempFolder folder;
    const struct {
        int subtype, rate;
        double seconds;
    } files[] = {{SF_FORMAT_PCM_16, 44100, 0.5},
                 {SF_FORMAT_PCM_16, 22050, 0.5},
                 {SF_FORMAT_PCM_16, 44100, 0.05},
                 {SF_FORMAT_G721_32, 44100, 0.5}};
    for (const auto& [subtype, rate, seconds] : files) {
        SCOPED_TRACE(::testing::Message() << rate << " Hz, " << seconds << " s, " << subtype);
        const std::string path =
            testing::writeToneWav(folder.path() / "tone.wav", subtype, 1, rate, 523.0, seconds);
        const bool seeks = WavDecoding::open(path, 44100)->canSeek();
        EXPECT_EQ(seeks, subtype != SF_FORMAT_G721_32);
        const std::vector<float> reference = whole(path, 44100, seeks ? kAll : kHead);
        Stream stream(path, 44100);
        stream.decoderSteps = 4;
        EXPECT_EQ(stream.play(0, kAll), reference);
        EXPECT_TRUE(stream.ended);
        EXPECT_EQ(stream.play(0, kAll), reference) << "the second start, after the ring was passed";
        for (const std::int64_t cut : {1000, kHead + 2000})  // inside the head, in the ring
            EXPECT_EQ(stream.play(0, cut),
                      whole(path, 44100, std::min<std::int64_t>(cut, reference.size() / 2)))
                << cut;
        stream.decoderSteps = 1;  // a slow decoder: the voice waits for it
        stream.stepFrames = 100;
        EXPECT_EQ(stream.play(0, kAll), reference);
        EXPECT_TRUE(stream.ended);
        EXPECT_EQ(stream.filler.finished(), seconds < 0.1 || !seeks) << "nothing more to decode";
    }
}

// A pattern hits the same long sample on every step, each hit starting it
// in the head again, and a voice plays on from the head into the ring. Once
// the ring holds the frames that follow the head, starts in the head cost
// the decoder nothing; a start after the voice played on past the ring
// sends the decoding back to the end of the head once. Either way the
// voice finds the ring's frames without a wait, whatever the buffer size,
// as long as the decoder keeps up with it.
TEST(StreamedSample, StartsInTheHeadCostNothingAndAVoiceCrossesIntoTheRingWithoutAGap) {
    testing::TempFolder folder;
    const std::string path =
        testing::writeToneWav(folder.path() / "long.wav", SF_FORMAT_PCM_16, 2, 44100, 523.0, 0.5);
    const std::int64_t pastTheRing = kHead + 3 * kRing;
    const std::vector<float> reference = whole(path, 44100, pastTheRing);
    std::vector<float> out(256 * Sample::kChannels);
    for (const int buffer : {128, 256, 300, 441, 512}) {
        SCOPED_TRACE(buffer);
        Stream stream(path, 44100);
        ASSERT_TRUE(stream.settle())
            << "the decoder never rests while the voice waits at the start";
        for (int at = 0; at < 2048; at += 256) {
            stream.sample->read(at % 1024, out.data(), 256);
            EXPECT_FALSE(stream.step()) << "a hit reading frame " << at % 1024;
        }
        for (const int restarts : {0, 1}) {
            EXPECT_TRUE(stream.play(0, pastTheRing, buffer, false) == reference)
                << "a gap or other frames, start " << restarts + 1;
            EXPECT_EQ(stream.restarts, restarts);
        }
    }
}

}  // namespace
}  // namespace trovik
