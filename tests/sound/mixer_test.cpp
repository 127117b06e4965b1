#include "mixer.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace trovik {
namespace {

// A sample whose every frame holds `level` on both channels.
std::unique_ptr<Sample> constantSample(int frames, float level) {
    return Sample::fromInterleaved(std::vector<float>(static_cast<std::size_t>(frames) * Sample::kChannels, level));
}

std::vector<float> renderLeft(Mixer& mixer, int frames) {
    std::vector<float> out(static_cast<std::size_t>(frames) * Sample::kChannels, -9.0f);
    mixer.render(out.data(), frames);
    std::vector<float> left(frames);
    for (int i = 0; i < frames; ++i) left[i] = out[i * 2];
    return left;
}

std::multiset<const Sample*> drainReleased(Mixer& mixer) {
    std::multiset<const Sample*> released;
    while (const Sample* s = mixer.takeReleased()) released.insert(s);
    return released;
}

TEST(Mixer, PlaysASampleToItsEndThenSilenceAndGivesItBack) {
    Mixer mixer;
    const auto kickOwned = constantSample(100, 0.5f);
    const Sample& kick = *kickOwned;
    mixer.postStart(kick);
    const std::vector<float> left = renderLeft(mixer, 256);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(left[i], 0.5f) << i;
    for (int i = 100; i < 256; ++i) ASSERT_EQ(left[i], 0.0f) << i;
    EXPECT_EQ(drainReleased(mixer), std::multiset<const Sample*>{&kick});
}

TEST(Mixer, ASampleLongerThanABufferGoesOnInTheNextBuffers) {
    Mixer mixer;
    const auto toneOwned = constantSample(600, 0.25f);
    const Sample& tone = *toneOwned;
    mixer.postStart(tone);
    renderLeft(mixer, 256);
    renderLeft(mixer, 256);
    EXPECT_EQ(mixer.takeReleased(), nullptr) << "still sounding";
    const std::vector<float> third = renderLeft(mixer, 256);
    EXPECT_EQ(third[87], 0.25f);
    EXPECT_EQ(third[88], 0.0f);
    EXPECT_EQ(mixer.takeReleased(), &tone);
}

TEST(Mixer, ANewStartCutsTheSoundPlayingAndStartsFromTheBeginning) {
    Mixer mixer;
    const auto firstOwned = constantSample(1000, 0.5f);
    const Sample& first = *firstOwned;
    std::vector<float> ramp(2000);
    for (int i = 0; i < 1000; ++i) ramp[i * 2] = ramp[i * 2 + 1] = 0.001f * (i + 1);
    const auto secondOwned = Sample::fromInterleaved(ramp);
    const Sample& second = *secondOwned;
    mixer.postStart(first);
    renderLeft(mixer, 64);
    mixer.postStop();
    mixer.postStart(second);
    const std::vector<float> left = renderLeft(mixer, 64);
    EXPECT_FLOAT_EQ(left[0], 0.001f) << "the new sound starts at its first frame";
    EXPECT_FLOAT_EQ(left[63], 0.064f);
    EXPECT_EQ(drainReleased(mixer), std::multiset<const Sample*>{&first});
}

TEST(Mixer, StopSilencesAtOnce) {
    Mixer mixer;
    const auto toneOwned = constantSample(1000, 0.5f);
    const Sample& tone = *toneOwned;
    mixer.postStart(tone);
    renderLeft(mixer, 32);
    mixer.postStop();
    const std::vector<float> left = renderLeft(mixer, 32);
    for (float v : left) ASSERT_EQ(v, 0.0f);
    EXPECT_EQ(mixer.takeReleased(), &tone);
}

TEST(Mixer, SeveralHitsBetweenTwoBuffersLeaveOnlyTheLastSoundingAndReturnEveryOne) {
    Mixer mixer;
    const auto bassOwned = constantSample(500, 0.1f);
    const Sample& bass = *bassOwned;
    const auto snareOwned = constantSample(500, 0.2f);
    const Sample& snare = *snareOwned;
    const auto effectOwned = constantSample(500, 0.3f);
    const Sample& effect = *effectOwned;
    for (const Sample* s : {&bass, &snare, &effect}) {
        mixer.postStop();
        mixer.postStart(*s);
    }
    const std::vector<float> left = renderLeft(mixer, 16);
    EXPECT_EQ(left[0], 0.3f);
    EXPECT_EQ(drainReleased(mixer), (std::multiset<const Sample*>{&bass, &snare}));
}

TEST(Mixer, TimedCommandsLandOnTheirExactFrameInsideABuffer) {
    Mixer mixer;
    renderLeft(mixer, 256);  // the stream clock now stands at frame 256
    const auto firstOwned = constantSample(1000, 0.5f);
    const Sample& first = *firstOwned;
    const auto secondOwned = constantSample(1000, 0.75f);
    const Sample& second = *secondOwned;
    mixer.postStart(first, 256 + 40);
    mixer.postStop(256 + 100);
    mixer.postStart(second, 256 + 100);
    const std::vector<float> left = renderLeft(mixer, 256);
    EXPECT_EQ(left[39], 0.0f);
    EXPECT_EQ(left[40], 0.5f);
    EXPECT_EQ(left[99], 0.5f);
    EXPECT_EQ(left[100], 0.75f);
    EXPECT_EQ(mixer.framesRendered(), 512);
}

TEST(Mixer, ACommandDueInALaterBufferWaitsForIt) {
    Mixer mixer;
    const auto toneOwned = constantSample(10, 0.5f);
    const Sample& tone = *toneOwned;
    mixer.postStart(tone, 300);
    const std::vector<float> first = renderLeft(mixer, 256);
    for (float v : first) ASSERT_EQ(v, 0.0f);
    const std::vector<float> second = renderLeft(mixer, 256);
    EXPECT_EQ(second[43], 0.0f);
    EXPECT_EQ(second[44], 0.5f);
    EXPECT_EQ(second[54], 0.0f);
}

// A long file plays while it is still being decoded: the voice plays what
// is ready, waits silently when it runs dry, and ends only once complete.
TEST(Mixer, ASampleStillBeingDecodedPlaysWhatIsReadyAndWaitsForTheRest) {
    Mixer mixer;
    Sample growing(300);
    for (int i = 0; i < 300; ++i) growing.frameForWriting(i)[0] = growing.frameForWriting(i)[1] = 0.5f;
    growing.publish(100);
    mixer.postStart(growing);
    std::vector<float> left = renderLeft(mixer, 128);
    EXPECT_EQ(left[99], 0.5f);
    EXPECT_EQ(left[100], 0.0f);
    EXPECT_EQ(mixer.takeReleased(), nullptr) << "not complete: still playing";
    growing.complete(300);
    left = renderLeft(mixer, 256);
    EXPECT_EQ(left[0], 0.5f) << "goes on from frame 100";
    EXPECT_EQ(left[199], 0.5f);
    EXPECT_EQ(left[200], 0.0f);
    EXPECT_EQ(mixer.takeReleased(), &growing);
}

TEST(Mixer, AnEmptySampleIsGivenBackWithoutSounding) {
    Mixer mixer;
    const auto emptyOwned = Sample::fromInterleaved({});
    const Sample& empty = *emptyOwned;
    mixer.postStart(empty);
    const std::vector<float> left = renderLeft(mixer, 8);
    for (float v : left) ASSERT_EQ(v, 0.0f);
    EXPECT_EQ(mixer.takeReleased(), &empty);
}

}  // namespace
}  // namespace trovik
