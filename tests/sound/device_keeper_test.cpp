// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/device_keeper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <latch>
#include <memory>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "sound/callback_watch.h"
#include "tests/sound/beat_for_tests.h"

namespace trovik {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::Beat;
using testing::rampSample;

constexpr int kRate = 48000;
constexpr int kBlock = 512;

// A sound card seen as AudioDevice sees it: each callback renders the
// mixer and is watched by a CallbackWatch; the test says when the
// callbacks come, on a clock of its own, and keeps the left channel. Its
// server comes and goes, drops it and lets it run dry at the test's word.
class Card : public OutputDevice {
  public:
    Card(Mixer& mixer, int bufferFrames) : mixer_(mixer), buffer_(bufferFrames) {}

    bool serverUp = true;
    bool dropped = false;
    bool dry = false;
    // A server that hangs: the close waits until the test lets it go on.
    bool hangs = false;
    std::atomic<bool> closing{false};
    std::latch goOn{1};
    int opens = 0;
    int closes = 0;
    std::vector<float> left;
    // When each callback's first frame is heard, and where it is in `left`.
    std::vector<std::int64_t> heardAt;
    std::vector<std::int64_t> calledFrom;
    std::vector<std::size_t> firstCallbacks;  // of each stream

    bool open() override {
        if (!serverUp) return false;
        watch_.restart();
        firstCallbacks.push_back(heardAt.size());
        open_ = true;
        dropped = false;
        ++opens;
        return true;
    }
    void close() override {
        closing = true;
        if (std::exchange(hangs, false)) goOn.wait();
        open_ = false;
        ++closes;
    }
    bool isOpen() const override { return open_; }
    bool lost() override { return dropped || watch_.stalled(); }
    bool ranDry() override { return std::exchange(dry, false) || watch_.ranDry(); }
    bool growBuffer() override {
        if (buffer_ >= 2048) return false;
        buffer_ *= 2;
        return true;
    }
    int bufferFrames() const override { return buffer_; }

    void callback(std::int64_t nowNanoseconds) { callback(nowNanoseconds, nowNanoseconds); }
    void callback(std::int64_t nowNanoseconds, std::int64_t heard) {
        std::vector<float> out(static_cast<std::size_t>(buffer_) * Sample::kChannels);
        watch_.callback(nowNanoseconds, buffer_);
        heardAt.push_back(heard);
        calledFrom.push_back(static_cast<std::int64_t>(left.size()));
        mixer_.render(out.data(), buffer_, nowNanoseconds);
        for (int i = 0; i < buffer_; ++i) left.push_back(out[static_cast<std::size_t>(2 * i)]);
    }

  private:
    Mixer& mixer_;
    int buffer_;
    CallbackWatch watch_{kRate};
    bool open_ = false;
};

// The mixer, with the bass, a 100-frame ramp from 1000, on every step of
// `intervalMs`; a card playing it, and its keeper, built last: its silence
// starts then.
struct Rig {
    std::unique_ptr<Sample> bass = rampSample(1000, 100);
    SequencerLink link;
    TrackSlots slots;
    Mixer mixer{link, slots, kRate};
    Card card;
    DeviceKeeper keeper;

    Rig(int bufferFrames, int intervalMs)
        : card(mixer, bufferFrames), keeper(card, mixer, bufferFrames) {
        slots.offer(Track::Bass, *bass);
        link.snapshots.write(Beat(intervalMs).everyStep(Track::Bass).snapshot());
    }
};

std::int64_t framesIn(Clock::duration duration) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count() * kRate /
           1'000'000'000;
}

// The keeper starts its silence when it is built or when it closes a lost
// device, at a moment the test can only bracket: `before` and `after`.
class DeviceKeeperTest : public ::testing::Test {
  protected:
    Clock::time_point before = Clock::now();
    Rig rig{kBlock, 100};
    Clock::time_point after = Clock::now();
    Card& device = rig.card;
    DeviceKeeper& keeper = rig.keeper;
    Mixer& mixer = rig.mixer;
    SequencerLink& link = rig.link;

    // What renderSilently(now) may have rendered in all, given the bracket.
    void expectRenderedFor(Clock::time_point now, const char* when) {
        const std::int64_t most = framesIn(now - before) / kBlock * kBlock;
        const std::int64_t least = (framesIn(now - after) / kBlock - 1) * kBlock;
        EXPECT_LE(mixer.framesRendered(), most) << when;
        EXPECT_GE(mixer.framesRendered(), least) << when;
    }
};

// While the device is closed the steps go on at the steady clock's pace, in
// whole blocks; while it is open the audio thread renders, not the keeper.
// Each call comes less than a second after the last, but for suspensions.
TEST_F(DeviceKeeperTest, WhileClosedTheStepsWalkAtTheClocksPaceAndSkipASuspension) {
    keeper.renderSilently(after + 900ms);
    expectRenderedFor(after + 900ms, "after 0.9 s");
    const StepFeedback first = link.feedback.read();
    // A step every 4800 frames, the first one period after the start.
    EXPECT_EQ(first.ticks, static_cast<std::uint64_t>((first.framesWalked - 1) / 4800));
    EXPECT_GE(first.ticks, 8u);

    keeper.renderSilently(after + 900ms);
    EXPECT_EQ(link.feedback.read().framesWalked, first.framesWalked) << "no time, no frames";
    keeper.renderSilently(after + 1500ms);
    expectRenderedFor(after + 1500ms, "after 1.5 s");
    EXPECT_GE(link.feedback.read().ticks, first.ticks + 5);
    EXPECT_NE(link.feedback.read().position, first.position);

    // A machine suspended for an hour, or days without a sound server: the
    // time gone by is skipped, not made up in a burst of steps (of those due
    // in it only the newest sounds, on the block's first frame, and perhaps
    // one more due within the block), and the pace is kept from there
    // however long the device has been closed.
    for (const auto closedFor : {std::chrono::hours(1), std::chrono::hours(24),
                                 std::chrono::hours(72), std::chrono::hours(24 * 365)}) {
        SCOPED_TRACE(::testing::Message() << closedFor.count() << " h");
        const std::uint64_t ticksBefore = link.feedback.read().ticks;
        const std::int64_t framesBefore = mixer.framesRendered();
        keeper.renderSilently(after + closedFor);
        EXPECT_EQ(mixer.framesRendered(), framesBefore + kBlock);
        EXPECT_LE(link.feedback.read().ticks, ticksBefore + 2);
        keeper.renderSilently(after + closedFor + 900ms);
        EXPECT_GE(mixer.framesRendered(), framesBefore + framesIn(900ms) - kBlock);
        EXPECT_LE(mixer.framesRendered(), framesBefore + kBlock + framesIn(900ms));
    }

    keeper.check();  // the server is up: it opens
    ASSERT_TRUE(device.isOpen());
    const std::int64_t atOpen = mixer.framesRendered();
    keeper.renderSilently(after + std::chrono::hours(24 * 366));
    EXPECT_EQ(mixer.framesRendered(), atOpen);
}

// A device that ran dry is opened again with twice its buffer, up to the
// largest; after that it plays on as it is.
TEST_F(DeviceKeeperTest, ADeviceThatRanDryGrowsItsBufferUpToTheLargest) {
    keeper.check();
    ASSERT_EQ(device.opens, 1);
    for (const int expected : {1024, 2048, 2048}) {
        device.dry = true;
        keeper.check();
        EXPECT_EQ(device.bufferFrames(), expected);
        EXPECT_TRUE(device.isOpen());
        EXPECT_TRUE(keeper.sounding());
    }
    EXPECT_EQ(device.opens, 3) << "reopened for each growth, not at the largest";
}

// Waits, up to a time no working thread comes near, until `done` holds.
bool within10s(const std::function<bool()>& done) {
    const auto deadline = Clock::now() + 10s;
    while (!done()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// A server that hangs holds the close of the device it lost for as long as
// it hangs. The steps go on silently meanwhile, and once the server goes on
// the device opens again.
TEST_F(DeviceKeeperTest, WhileAHungServerHoldsTheCloseTheStepsGoOn) {
    keeper.check();
    ASSERT_TRUE(keeper.sounding());
    device.hangs = true;
    device.dropped = true;
    keeper.start();
    ASSERT_TRUE(within10s([&] { return device.closing.load(); }));
    const std::int64_t walked = link.feedback.read().framesWalked;
    EXPECT_TRUE(within10s([&] { return link.feedback.read().framesWalked > walked + kRate / 4; }))
        << "the steps stood still";
    device.goOn.count_down();
    EXPECT_TRUE(within10s([&] { return keeper.sounding(); })) << "the device stayed closed";
}

constexpr std::int64_t kLookNanoseconds =
    std::chrono::duration_cast<std::chrono::nanoseconds>(DeviceKeeper::kRetryPeriod).count();
constexpr int kInterval = 10;

// How a lost device is noticed without a word from the server: its
// callbacks stop. A stream that stands still for up to three and a half
// seconds (a new one whose server wakes its sink, a hiccup) is waited for;
// one that stood still for eight looks in a row is closed and opened anew.
TEST(WatchedCard, ACardWhoseCallbacksStopIsGivenUpAfterEightLooks) {
    Rig rig(kBlock, kInterval);
    Card& card = rig.card;
    DeviceKeeper& keeper = rig.keeper;
    keeper.check();
    ASSERT_EQ(card.opens, 1);
    // `times` looks by the keeper, half a second apart on the card's clock.
    const auto look = [&](int times) {
        for (int i = 0; i < times; ++i) keeper.check();
    };
    constexpr int kStalledLooks = CallbackWatch::kLooksWithoutCallbackWhenStalled;

    look(kStalledLooks - 1);
    EXPECT_TRUE(keeper.sounding()) << "a new stream that has not started yet";
    for (int stall = 0; stall < 3; ++stall) {
        card.callback(0);
        look(1 + kStalledLooks - 1);
    }
    EXPECT_EQ(card.closes, 0) << "stalls that ended are no lost card";

    card.callback(0);
    look(1 + kStalledLooks);
    EXPECT_EQ(card.closes, 1) << "eight looks without a callback";
    EXPECT_EQ(card.opens, 2) << "opened anew at once";
    EXPECT_TRUE(keeper.sounding());
    look(kStalledLooks - 1);
    EXPECT_EQ(card.closes, 1) << "the new stream starts counting afresh";
}

// The card on the test's clock, with a look by the keeper every half
// second. A stream the keeper opens starts 40 ms after the look, asking for
// two buffers at once, and from then on for each buffer one buffer before
// it is heard. The next one may stand still for a while after its first
// two (a sink waking, as PulseAudio's does), and then asks for each buffer
// as it is heard. After a hole in `heardFrom` it plays on from where it
// stopped.
struct ScriptedCard : Rig {
    std::int64_t now = steadyNanoseconds();
    std::int64_t nextLook = now;
    std::int64_t startAt = now;
    std::int64_t heardFrom = now;  // when the stream's first frame is heard
    std::int64_t streamFrames = 0;
    int streamCallbacks = 0;
    std::int64_t nextStall = 0;
    std::int64_t stall = 0;
    bool stopped = false;  // no callbacks until the keeper opens the card anew

    ScriptedCard() : Rig(2048, kInterval) {}

    void playFor(std::int64_t nanoseconds) {
        for (const std::int64_t end = now + nanoseconds;; now = std::min(now, end)) {
            const std::int64_t heard = heardFrom + nanosecondsIn(streamFrames, kRate);
            const std::int64_t ahead = stall > 0 ? 0 : nanosecondsIn(card.bufferFrames(), kRate);
            const std::int64_t due = streamCallbacks < 2 ? startAt : heard - ahead;
            const bool calls = card.isOpen() && !stopped && due < nextLook;
            now = calls ? due : nextLook;
            if (now > end) return;
            if (calls) {
                card.callback(now, heard);
                streamFrames += card.bufferFrames();
                ++streamCallbacks;
                continue;
            }
            const int opens = card.opens;
            keeper.check(Clock::time_point(std::chrono::nanoseconds(now)));
            nextLook += kLookNanoseconds;
            if (card.opens == opens) continue;
            stopped = false;
            startAt = now + 40'000'000;
            stall = std::exchange(nextStall, 0);
            heardFrom = startAt + stall;
            streamFrames = streamCallbacks = 0;
        }
    }
};

// Every break of the stream: no server at start-up (the keeper walks the
// steps silently, then opens the card once the server is there), a dry run
// (the buffer being the largest, the stream plays on), a stream that stands
// still until the keeper gives it up, a server that drops it and is away
// for two seconds (the keeper walks on silently, then opens it anew, and
// the stream stands still for two seconds as its sink wakes). The grid keeps
// its place on the test's clock: every hit is heard where the clock says,
// but for those in the two seconds a dry run or a stall at the start takes
// to be told; the newest step due in a hole before a new stream sounds on
// its first frame; no step sounds twice.
TEST(WatchedCard, EveryBreakOfTheStreamLeavesTheGridOnTheClock) {
    ScriptedCard script;
    const std::int64_t gridStart = script.now;
    script.card.serverUp = false;
    script.playFor(1'000'000'000);
    script.card.serverUp = true;
    script.playFor(3'000'000'000);
    script.heardFrom += 95'000'000;
    const std::int64_t dryAt = script.now;
    script.playFor(3'000'000'000);
    script.stopped = true;
    script.playFor(8'000'000'000);
    script.card.dropped = true;
    script.card.serverUp = false;
    script.playFor(2'000'000'000);
    script.card.serverUp = true;
    script.nextStall = 2'005'000'000;
    script.playFor(5'000'000'000);
    const Card& card = script.card;
    ASSERT_EQ(card.firstCallbacks.size(), 3u)
        << "opened once the server was there, given up, dropped";
    EXPECT_EQ(card.closes, 2) << "only a lost card is closed";

    constexpr std::int64_t kStep = std::int64_t{kInterval} * 1'000'000;
    constexpr std::int64_t kFrame = 1'000'000'000 / kRate;
    const auto timeOf = [&](std::size_t call, std::int64_t frame) {
        return card.heardAt[call] + nanosecondsIn(frame - card.calledFrom[call], kRate);
    };
    const std::int64_t wokeAt = card.heardAt[card.firstCallbacks.back()];
    for (std::size_t call : card.firstCallbacks) {
        const std::int64_t newestDue = (card.heardAt[call] - gridStart) / kStep * kStep + gridStart;
        if (call > 0 && card.heardAt[call] < wokeAt &&
            newestDue > timeOf(call - 1, card.calledFrom[call])) {
            EXPECT_EQ(card.left[static_cast<std::size_t>(card.calledFrom[call])], 1000.0f) << call;
        }
    }
    std::vector<int> heard(static_cast<std::size_t>((script.now - gridStart) / kStep) + 1);
    std::size_t call = 0;
    for (std::int64_t hit = 0; hit < std::ssize(card.left); ++hit) {
        if (card.left[static_cast<std::size_t>(hit)] != 1000.0f) continue;  // the bass starts
        while (call + 1 < card.calledFrom.size() && card.calledFrom[call + 1] <= hit) ++call;
        const std::int64_t at = timeOf(call, hit);
        if ((at > dryAt && at < dryAt + 2'000'000'000) ||
            (at >= wokeAt && at < wokeAt + 2'000'000'000))
            continue;
        std::int64_t step = (at - gridStart + kStep / 2) / kStep;
        const bool newStream =
            hit == card.calledFrom[call] &&
            std::count(card.firstCallbacks.begin(), card.firstCallbacks.end(), call);
        if (newStream) step = (at - gridStart) / kStep;
        EXPECT_TRUE(newStream || std::abs(at - gridStart - step * kStep) <= 2 * kFrame)
            << "step " << step << " off by " << at - gridStart - step * kStep << " ns";
        EXPECT_EQ(++heard[static_cast<std::size_t>(step)], 1) << "step " << step;
    }
}

}  // namespace
}  // namespace trovik
