#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "sound/mixer.h"

namespace trovik {
namespace {

constexpr int kBuffer = 256;
constexpr int kGuard = 64;
constexpr float kGuardValue = -7.0f;

// One thread posts stops and starts with frames in the past, the present and
// the future while another renders, the way the user-interface thread and
// the audio thread share the mixer. Run under ThreadSanitizer and
// AddressSanitizer as well: a data race, a span rendered outside the buffer
// or a sample used after it came back shows there.
TEST(MixerStress, PostingAndRenderingOnTwoThreadsKeepsEveryFrameAndSampleInPlace) {
    Mixer mixer;
    std::vector<std::unique_ptr<Sample>> samples;
    for (int i = 1; i <= 4; ++i) {
        samples.push_back(Sample::fromInterleaved(
            std::vector<float>(static_cast<std::size_t>(300 * i) * Sample::kChannels, 0.1f * i)));
    }
    constexpr int kPosts = 20000;
    std::atomic<bool> posting{true};
    std::int64_t pastPosts = 0;  // late wherever they land
    std::int64_t undecided = 0;  // late or not, by how the threads met
    std::int64_t borrowed = 0;
    std::int64_t returned = 0;

    std::thread producer([&] {
        std::mt19937 random(12345);
        for (int i = 0; i < kPosts; ++i) {
            const std::int64_t rendered = mixer.framesRendered();
            std::int64_t frame = Mixer::kAsSoonAsPossible;
            switch (random() % 3) {
                case 0:  // long passed: late whenever it lands
                    frame = rendered - 1 - static_cast<std::int64_t>(random() % 5000);
                    break;
                case 1:  // beyond the buffer being rendered, unless the audio thread ran ahead
                    frame = rendered + kBuffer + static_cast<std::int64_t>(random() % 3000);
                    break;
                default:
                    break;  // as soon as possible
            }
            const Sample& sample = *samples[random() % samples.size()];
            const bool isStart = random() % 2 == 0;
            const bool queued = isStart ? mixer.postStart(sample, frame) : mixer.postStop(frame);
            if (queued && isStart) ++borrowed;
            // Rendering takes a command at its next step, at the latest on the
            // first frame after the buffer under way when it was posted.
            const std::int64_t renderedAfter = mixer.framesRendered();
            if (queued && frame != Mixer::kAsSoonAsPossible) {
                if (frame < rendered) {
                    ++pastPosts;
                } else if (frame < renderedAfter + kBuffer) {
                    ++undecided;
                }
            }
            while (mixer.takeReleased() != nullptr) ++returned;
            // A few commands per buffer, as the step clock posts: the mixer's
            // list of waiting commands never fills, so each is taken at the
            // next step of rendering.
            if (i % 8 == 7) {
                while (mixer.framesRendered() == rendered) std::this_thread::yield();
            }
        }
        posting.store(false, std::memory_order_release);
    });

    std::vector<float> buffer(static_cast<std::size_t>(kBuffer + 2 * kGuard) * Sample::kChannels);
    bool framesInPlace = true;
    auto renderOne = [&] {
        std::fill(buffer.begin(), buffer.end(), kGuardValue);
        float* out = buffer.data() + kGuard * Sample::kChannels;
        mixer.render(out, kBuffer);
        for (int i = 0; i < kGuard * Sample::kChannels; ++i) {
            framesInPlace = framesInPlace && buffer[i] == kGuardValue &&
                            buffer[buffer.size() - 1 - i] == kGuardValue;
        }
        for (int i = 0; i < kBuffer * Sample::kChannels; ++i) {
            const float v = out[i];
            const float level = v * 10.0f;
            framesInPlace = framesInPlace && std::fabs(level - std::round(level)) < 1e-4f &&
                            v >= 0.0f && v <= 0.41f;
        }
    };
    // A real audio thread sleeps between callbacks; yielding here keeps a
    // scheduler that runs one thread at a time (valgrind) from starving the
    // producer.
    std::thread audio([&] {
        while (posting.load(std::memory_order_acquire)) {
            renderOne();
            std::this_thread::yield();
        }
    });
    producer.join();
    audio.join();

    // Whatever still waits, the audio thread plays out (futures lie at most
    // a few thousand frames ahead), then the voice is stopped.
    for (int i = 0; i < 40; ++i) renderOne();
    mixer.postStop();
    renderOne();
    while (mixer.takeReleased() != nullptr) ++returned;

    EXPECT_TRUE(framesInPlace) << "a frame outside the buffer was written, or a wrong value";
    EXPECT_EQ(returned, borrowed) << "every borrowed sample comes back exactly once";
    EXPECT_GE(mixer.lateCommands(), pastPosts) << "every passed frame counts as late";
    EXPECT_LE(mixer.lateCommands(), pastPosts + undecided) << "no frame still ahead counts";
}

}  // namespace
}  // namespace trovik
