#include "sound/device_keeper.h"

#include <gtest/gtest.h>

#include <chrono>
#include <utility>

#include "tests/sound/beat_for_tests.h"

namespace trovik {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::Beat;

constexpr int kRate = 48000;
constexpr int kBlock = 512;

// A device whose server comes and goes at the test's word.
class FakeDevice : public OutputDevice {
  public:
    bool serverUp = true;
    bool dropped = false;
    int opens = 0;
    int closes = 0;

    bool open() override {
        if (!serverUp) return false;
        open_ = true;
        dropped = false;
        ++opens;
        return true;
    }
    void close() override {
        open_ = false;
        ++closes;
    }
    bool isOpen() const override { return open_; }
    bool lost() override { return dropped; }
    bool ranDry() override { return std::exchange(dry, false); }
    bool growBuffer() override {
        if (buffer >= 2048) return false;
        buffer *= 2;
        return true;
    }
    int bufferFrames() const override { return buffer; }

    bool dry = false;
    int buffer = kBlock;

  private:
    bool open_ = false;
};

std::int64_t framesIn(Clock::duration duration) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count() * kRate /
           1'000'000'000;
}

// The keeper starts its silence when it is built or when it closes a lost
// device, at a moment the test can only bracket: `before` and `after`.
class DeviceKeeperTest : public ::testing::Test {
  protected:
    FakeDevice device;
    SequencerLink link;
    TrackSlots slots;
    Mixer mixer{link, slots, kRate};
    Clock::time_point before = Clock::now();
    DeviceKeeper keeper{device, mixer, kBlock};
    Clock::time_point after = Clock::now();

    DeviceKeeperTest() { link.snapshots.write(Beat(100).everyStep(Track::Bass).snapshot()); }

    // What renderSilently(now) may have rendered in all, given the bracket.
    void expectRenderedFor(Clock::time_point now, const char* when) {
        const std::int64_t most = framesIn(now - before) / kBlock * kBlock;
        const std::int64_t least = (framesIn(now - after) / kBlock - 1) * kBlock;
        EXPECT_LE(mixer.framesRendered(), most) << when;
        EXPECT_GE(mixer.framesRendered(), least) << when;
    }
};

// Without a server at start-up the program runs silently until one
// appears; a device the server drops is closed, and opened again by itself
// once the server is back. A device that plays is left alone.
TEST_F(DeviceKeeperTest, ALostDeviceIsClosedAndReopenedOnceTheServerIsBack) {
    device.serverUp = false;
    for (int i = 0; i < 3; ++i) keeper.check();
    EXPECT_FALSE(keeper.sounding());
    EXPECT_EQ(device.opens, 0);

    device.serverUp = true;
    keeper.check();
    ASSERT_TRUE(keeper.sounding());
    keeper.check();
    EXPECT_EQ(device.opens, 1) << "a device that plays is left alone";

    device.dropped = true;
    device.serverUp = false;
    keeper.check();
    EXPECT_FALSE(keeper.sounding());
    EXPECT_EQ(device.closes, 1) << "only the lost device is closed";
    keeper.check();
    EXPECT_EQ(device.opens, 1) << "no server, no device";

    device.serverUp = true;
    keeper.check();
    EXPECT_TRUE(keeper.sounding());
    EXPECT_EQ(device.opens, 2);
    EXPECT_EQ(device.closes, 1);
}

// While the device is closed the steps go on at the steady clock's pace, in
// whole blocks; while it is open the audio thread renders, not the keeper.
TEST_F(DeviceKeeperTest, WhileClosedTheStepsWalkAtTheSteadyClocksPace) {
    keeper.renderSilently(after + 1s);
    expectRenderedFor(after + 1s, "after 1 s");
    const StepFeedback oneSecond = link.feedback.read();
    // A step every 4800 frames, the first one period after the start.
    EXPECT_EQ(oneSecond.ticks, static_cast<std::uint64_t>((oneSecond.framesWalked - 1) / 4800));
    EXPECT_GE(oneSecond.ticks, 9u);

    keeper.renderSilently(after + 1s);
    EXPECT_EQ(link.feedback.read().framesWalked, oneSecond.framesWalked) << "no time, no frames";
    keeper.renderSilently(after + 1500ms);
    expectRenderedFor(after + 1500ms, "after 1.5 s");
    EXPECT_GE(link.feedback.read().ticks, oneSecond.ticks + 4);
    EXPECT_NE(link.feedback.read().position, oneSecond.position);

    keeper.check();  // the server is up: it opens
    ASSERT_TRUE(device.isOpen());
    const std::int64_t atOpen = mixer.framesRendered();
    keeper.renderSilently(after + 10s);
    EXPECT_EQ(mixer.framesRendered(), atOpen);
}

// A machine suspended for an hour, or days without a sound server: the time
// gone by is skipped, not made up in a burst of steps, and the pace is kept
// from there however long the device has been closed.
TEST_F(DeviceKeeperTest, ALongSuspensionIsSkippedAndThePaceKeptAfterDaysWithoutADevice) {
    keeper.renderSilently(after + 1s);
    for (const auto closedFor : {std::chrono::hours(1), std::chrono::hours(24),
                                 std::chrono::hours(72), std::chrono::hours(24 * 365)}) {
        SCOPED_TRACE(::testing::Message() << closedFor.count() << " h");
        const std::uint64_t ticksBefore = link.feedback.read().ticks;
        const std::int64_t framesBefore = mixer.framesRendered();
        keeper.renderSilently(after + closedFor);
        EXPECT_EQ(mixer.framesRendered(), framesBefore + kBlock);
        EXPECT_LE(link.feedback.read().ticks, ticksBefore + 1);
        keeper.renderSilently(after + closedFor + 1s);
        EXPECT_GE(mixer.framesRendered(), framesBefore + kRate - kBlock);
        EXPECT_LE(mixer.framesRendered(), framesBefore + kBlock + kRate);
    }
}

// A device that ran dry is opened again with twice its buffer, up to the
// largest; after that it plays on as it is.
TEST_F(DeviceKeeperTest, ADeviceThatRanDryGrowsItsBufferUpToTheLargest) {
    keeper.check();
    ASSERT_EQ(device.opens, 1);
    for (const int expected : {1024, 2048, 2048}) {
        device.dry = true;
        keeper.check();
        EXPECT_EQ(device.buffer, expected);
        EXPECT_TRUE(device.isOpen());
        EXPECT_TRUE(keeper.sounding());
    }
    EXPECT_EQ(device.opens, 3) << "reopened for each growth, not at the largest";
}

}  // namespace
}  // namespace trovik
