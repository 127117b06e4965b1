#include "sound/device_keeper.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace trovik {
namespace {

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

  private:
    bool open_ = false;
};

class DeviceKeeperTest : public ::testing::Test {
  protected:
    FakeDevice device;
    Mixer mixer;
    StreamClock clock{48000};
    DeviceKeeper keeper{device, mixer, clock};
    std::unique_ptr<Sample> tone =
        Sample::fromInterleaved(std::vector<float>(2000 * Sample::kChannels, 0.5f));

    int released() {
        int count = 0;
        while (mixer.takeReleased() != nullptr) ++count;
        return count;
    }
};

// The server goes away while a hit plays and more are posted: the device is
// closed, the stream clock forgets the old stream, and the hits posted
// meanwhile are dropped (their samples come back) instead of sounding late
// once the server is back, when the device opens again by itself. Without
// a server at start-up the program runs silently until one appears.
TEST_F(DeviceKeeperTest, ALostDeviceIsClosedAndReopenedOnceTheServerIsBack) {
    device.serverUp = false;
    for (int i = 0; i < 3; ++i) keeper.check();
    EXPECT_FALSE(keeper.sounding());
    device.serverUp = true;
    keeper.check();
    ASSERT_TRUE(keeper.sounding());
    mixer.postStart(*tone);
    std::vector<float> out(512);
    mixer.render(out.data(), 256);
    clock.onCallback(0, StreamClock::Clock::now());

    device.dropped = true;
    device.serverUp = false;
    keeper.check();
    EXPECT_FALSE(keeper.sounding());
    EXPECT_EQ(device.closes, 1) << "only the lost device is closed";
    EXPECT_EQ(clock.frameAt(StreamClock::Clock::now()), StreamClock::kUnknown);
    EXPECT_EQ(clock.epoch(), 1u);
    EXPECT_EQ(released(), 1) << "the cut voice comes back";

    mixer.postStart(*tone, 5000);  // the beat goes on while silent
    keeper.check();
    EXPECT_EQ(released(), 1) << "hits posted while silent are dropped";
    EXPECT_EQ(device.opens, 1) << "no server, no device";

    device.serverUp = true;
    keeper.check();
    EXPECT_TRUE(keeper.sounding());
    EXPECT_EQ(device.opens, 2);
    EXPECT_EQ(keeper.timesOpened(), 2u);
    keeper.check();
    EXPECT_EQ(device.opens, 2) << "a device that plays is left alone";
    EXPECT_EQ(device.closes, 1);
}

}  // namespace
}  // namespace trovik
