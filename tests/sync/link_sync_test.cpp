// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/link_sync.h"

#include <gtest/gtest.h>

#include <QTest>
#include <ableton/Link.hpp>
#include <cstdio>
#include <string>

namespace trovik {
namespace {

constexpr int kPatienceMs = 10000;

std::string textOf(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[256];
    for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, read);
    std::fseek(file, 0, SEEK_END);
    return text;
}

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A tempo whose step lies outside the interval's range is shown as the
// nearest end of it, and said once (a JACK timebase master may set any).
TEST(ModelSteeringTest, ATempoOutOfRangeIsClampedAndSaidOnce) {
    SequencerLink steps;
    BeatModel model(steps);
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    ModelSteering steering(model, log, "JACK transport");
    EXPECT_EQ(steering.takeTempo(10.0), BeatModel::kMaxInterval);
    EXPECT_EQ(steering.takeTempo(12.0), BeatModel::kMaxInterval);
    EXPECT_EQ(steering.takeTempo(20000.0), 1);
    EXPECT_EQ(model.interval(), 1);
    const std::string told = textOf(log);
    EXPECT_EQ(countOf(told, "trovik: JACK transport: tempo "), 3u);
    EXPECT_EQ(countOf(told, "is shown as"), 1u) << told;
    std::fclose(log);
}

// Ours beside a second Link peer in this process, on this machine's network:
// switched on while playing, alone it changes nothing; it joins the peer's
// stopped session stopped; the peer's tempo, start and stop reach the model;
// the model's Play, Stop and interval reach the peer.
TEST(LinkSyncTest, TheModelAndAPeerFollowEachOther) {
    SequencerLink steps;
    BeatModel model(steps);
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    LinkSync sync(model, log);
    QTest::qWait(100);
    EXPECT_TRUE(model.running());

    ableton::Link peer(120.0);
    peer.enableStartStopSync(true);
    peer.enable(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer.numPeers() == 1; }, kPatienceMs))
        << "no Link peer found on this machine's network";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model.running(); }, kPatienceMs));

    auto setPeer = [&](auto change) {
        auto state = peer.captureAppSessionState();
        change(state, peer.clock().micros());
        peer.commitAppSessionState(state);
    };
    setPeer([](auto& state, auto now) { state.setTempo(130.0, now); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.interval() == 115; }, kPatienceMs));
    EXPECT_NE(textOf(log).find("trovik: Link: tempo 130.00 BPM"), std::string::npos);

    setPeer([](auto& state, auto now) { state.setIsPlaying(true, now); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return model.running(); }, kPatienceMs));
    setPeer([](auto& state, auto now) { state.setIsPlaying(false, now); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return !model.running(); }, kPatienceMs));

    model.Command1_Click();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return peer.captureAppSessionState().isPlaying(); }, kPatienceMs));
    model.setInterval(200);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return std::abs(peer.captureAppSessionState().tempo() - 75.0) < 1e-6; },
        kPatienceMs));
    model.Command2_Click();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !peer.captureAppSessionState().isPlaying(); }, kPatienceMs));
    std::fclose(log);
}

}  // namespace
}  // namespace trovik
