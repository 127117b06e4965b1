#include "sound/mixer.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace trovik {
namespace {

std::unique_ptr<Sample> constantSample(int frames, float level) {
    return Sample::fromInterleaved(
        std::vector<float>(static_cast<std::size_t>(frames) * Sample::kChannels, level));
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

// Hits of one tick follow each other without a pause: each cuts the one
// before, only the last sounds, and every sample still comes back once.
TEST(Mixer, EachStartCutsTheSoundPlayingAndOnlyTheLastOneSounds) {
    Mixer mixer;
    const auto bass = constantSample(500, 0.1f);
    const auto snare = constantSample(500, 0.2f);
    const auto effect = constantSample(500, 0.3f);
    mixer.postStart(*bass);
    renderLeft(mixer, 64);
    for (const auto* s : {snare.get(), effect.get()}) {
        mixer.postStop();
        mixer.postStart(*s);
    }
    EXPECT_EQ(renderLeft(mixer, 16)[0], 0.3f);
    EXPECT_EQ(drainReleased(mixer), (std::multiset<const Sample*>{bass.get(), snare.get()}));
    mixer.postStop();
    EXPECT_EQ(renderLeft(mixer, 16)[0], 0.0f) << "stop silences at once";
}

// Commands apply in the order of their frames: a hit is never held back by
// a command posted before it for a later frame.
TEST(Mixer, TimedCommandsLandOnTheirExactFrameInThisBufferOrALaterOne) {
    Mixer mixer;
    renderLeft(mixer, 256);  // the stream clock now stands at frame 256
    const auto first = constantSample(1000, 0.5f);
    const auto second = constantSample(1000, 0.75f);
    mixer.postStop(96'000);  // two seconds ahead
    mixer.postStart(*first, 256 + 40);
    mixer.postStop(256 + 100);
    mixer.postStart(*second, 256 + 100);
    mixer.postStop(512 + 44);
    std::vector<float> left = renderLeft(mixer, 256);
    EXPECT_EQ(left[39], 0.0f);
    EXPECT_EQ(left[40], 0.5f);
    EXPECT_EQ(left[99], 0.5f);
    EXPECT_EQ(left[100], 0.75f);
    left = renderLeft(mixer, 256);
    EXPECT_EQ(left[43], 0.75f);
    EXPECT_EQ(left[44], 0.0f) << "the stop waited for its buffer";
    EXPECT_EQ(mixer.lateCommands(), 0);
}

// A long file plays while it is still being decoded: the voice plays what
// is ready, waits silently when it runs dry, and ends only once complete.
TEST(Mixer, ASampleStillBeingDecodedPlaysWhatIsReadyAndWaitsForTheRest) {
    Mixer mixer;
    Sample growing(300);
    for (int i = 0; i < 300; ++i)
        growing.frameForWriting(i)[0] = growing.frameForWriting(i)[1] = 0.5f;
    growing.publish(100);
    mixer.postStart(growing);
    std::vector<float> left = renderLeft(mixer, 128);
    EXPECT_EQ(left[99], 0.5f);
    EXPECT_EQ(left[100], 0.0f);
    EXPECT_EQ(mixer.takeReleased(), nullptr);
    growing.complete(300);
    left = renderLeft(mixer, 256);
    EXPECT_EQ(left[199], 0.5f);
    EXPECT_EQ(left[200], 0.0f);
    EXPECT_EQ(mixer.takeReleased(), &growing);
}

// A tick that ran late posts frames that have already passed: they apply
// on the first frame still to be rendered and are counted; no span of the
// buffer is rendered twice or skipped.
TEST(Mixer, ACommandWhoseFrameHasPassedAppliesAtTheBufferStartAndIsCounted) {
    Mixer mixer;
    renderLeft(mixer, 512);
    const auto tone = constantSample(1000, 0.5f);
    mixer.postStop(100);
    mixer.postStart(*tone, 100);
    const std::vector<float> left = renderLeft(mixer, 256);
    EXPECT_EQ(left[0], 0.5f);
    EXPECT_EQ(left[255], 0.5f);
    EXPECT_EQ(mixer.lateCommands(), 2);
    mixer.postStop();
    renderLeft(mixer, 16);
    EXPECT_EQ(mixer.lateCommands(), 2) << "a command for 'now' is never late";
}

// Hits planned on a clock that turned out wrong are withdrawn from the
// frame of the new plan on; what was planned before it stays.
TEST(Mixer, DropFromWithdrawsTheCommandsWaitingForThatFrameOrLater) {
    Mixer mixer;
    const auto early = constantSample(10000, 0.25f);
    const auto stale = constantSample(10000, 0.5f);
    const auto fresh = constantSample(10000, 0.75f);
    mixer.postStart(*early, 10);
    mixer.postStart(*stale, 200);
    mixer.postStop(300);
    mixer.postDropFrom(100);
    mixer.postStart(*fresh, 100);
    const std::vector<float> left = renderLeft(mixer, 512);
    EXPECT_EQ(left[10], 0.25f);
    EXPECT_EQ(left[100], 0.75f);
    EXPECT_EQ(left[511], 0.75f) << "neither the stale start nor the stale stop came";
    EXPECT_EQ(drainReleased(mixer), (std::multiset<const Sample*>{early.get(), stale.get()}));
}

// While the device is closed nothing renders; what was posted meanwhile is
// dropped without sounding and every borrowed sample comes back.
TEST(Mixer, DiscardingDropsWaitingHitsSilencesTheVoiceAndReturnsEverySample) {
    Mixer mixer;
    const auto playing = constantSample(10000, 0.5f);
    const auto waiting = constantSample(10000, 0.25f);
    mixer.postStart(*playing);
    renderLeft(mixer, 64);
    mixer.postStart(*waiting, 1000);
    mixer.postStart(*waiting);
    mixer.discardPending();
    EXPECT_EQ(drainReleased(mixer),
              (std::multiset<const Sample*>{playing.get(), waiting.get(), waiting.get()}));
    EXPECT_EQ(mixer.framesRendered(), 64);
    EXPECT_EQ(renderLeft(mixer, 2048)[2047 - 64], 0.0f);
}

}  // namespace
}  // namespace trovik
