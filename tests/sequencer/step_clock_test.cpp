#include "step_clock.h"

#include <gtest/gtest.h>

#include "../support/recording_player.h"
#include "drum_kit.h"
#include "pattern_fixture.h"

namespace trovik {
namespace {

const std::string kBass = DrumKit::kBassName;
const std::string kSnare = DrumKit::kSnareName;
using Paths = std::vector<std::string>;

class StepClockTest : public ::testing::Test {
protected:
    testing::PatternControls controls;
    BeatPattern pattern = controls.pattern();
    testing::RecordingPlayer player;
    ControlTimer timer{"Timer1", 0, Qt::PreciseTimer};
    HitTime hitTime;
    StepClock clock{pattern, *controls.HScroll1, *controls.Label7, player, timer, hitTime};

    void turnOn(Track track, int step) { pattern.cell(track, step).setText(kCellOn); }
    int position() const { return controls.HScroll1->value(); }
};

TEST_F(StepClockTest, PlaysEveryHittingTrackInOrderBassSnareEffectThenAdvances) {
    controls.Label7->setText("/samples/zap.wav");
    for (Track track : kTracksInPlayOrder) turnOn(track, 1);
    clock.Timer1_Timer();
    EXPECT_EQ(player.takePlayed(), (Paths{kBass, kSnare, "/samples/zap.wav"}));
    EXPECT_EQ(position(), 2);
}

TEST_F(StepClockTest, EachTrackLooksOnlyAtTheCellOfTheCurrentStep) {
    turnOn(Track::Bass, 1);
    turnOn(Track::Bass, 5);
    turnOn(Track::Snare, 5);
    turnOn(Track::Snare, 13);
    Paths heard;
    for (int tick = 0; tick < 32; ++tick) {
        const int step = position();
        clock.Timer1_Timer();
        for (const std::string& path : player.takePlayed()) heard.push_back(std::to_string(step) + path);
    }
    const Paths onePass{"1" + kBass, "5" + kBass, "5" + kSnare, "13" + kSnare};
    Paths twoPasses = onePass;
    twoPasses.insert(twoPasses.end(), onePass.begin(), onePass.end());
    EXPECT_EQ(heard, twoPasses);
    EXPECT_EQ(position(), 1);
}

// The cells are named by control number; these pin the mapping at its ends,
// including the effect row that runs right to left on screen.
TEST_F(StepClockTest, ControlNumbersMapToTheirTrackAndStep) {
    struct Case {
        int commandNumber;
        int step;
        std::string path;
    };
    controls.Label7->setText("fx.wav");
    for (const Case& c : {Case{3, 1, kBass}, Case{18, 16, kBass}, Case{34, 1, kSnare}, Case{19, 16, kSnare},
                          Case{35, 1, "fx.wav"}, Case{50, 16, "fx.wav"}, Case{39, 5, "fx.wav"}}) {
        pattern.cellByNumber(c.commandNumber).setText(kCellOn);
        controls.HScroll1->setValue(c.step);
        clock.Timer1_Timer();
        EXPECT_EQ(player.takePlayed(), Paths{c.path}) << "Command" << c.commandNumber;
        pattern.cellByNumber(c.commandNumber).setText(kCellOff);
    }
}

TEST_F(StepClockTest, OnlyExactBlueSounds) {
    turnOn(Track::Bass, 3);
    controls.HScroll1->setValue(3);
    for (QRgb colour : {kSwitchMuted, qRgb(0, 0, 254), qRgb(1, 0, 255), qRgb(255, 0, 0)}) {
        setSwitchColour(pattern.trackSwitch(Track::Bass), colour);
        clock.Timer1_Timer();
        EXPECT_TRUE(player.takePlayed().empty()) << std::hex << colour;
        EXPECT_EQ(position(), 4) << "a silent tick still advances";
        controls.HScroll1->setValue(3);
    }
    setSwitchColour(pattern.trackSwitch(Track::Bass), kSwitchSounds);
    clock.Timer1_Timer();
    EXPECT_EQ(player.takePlayed(), Paths{kBass});
}

TEST_F(StepClockTest, AnyNonEmptyCaptionCountsAsOn) {
    pattern.cell(Track::Snare, 1).setText("x");
    clock.Timer1_Timer();
    EXPECT_EQ(player.takePlayed(), Paths{kSnare});
}

TEST_F(StepClockTest, Step16PlaysThenWrapsToStep1) {
    turnOn(Track::Bass, 16);
    controls.HScroll1->setValue(16);
    clock.Timer1_Timer();
    EXPECT_EQ(player.takePlayed(), Paths{kBass});
    EXPECT_EQ(position(), 1);
}

TEST_F(StepClockTest, AnEffectHitBeforeAnyFileIsChosenPassesTheEmptyPath) {
    turnOn(Track::Effect, 1);
    clock.Timer1_Timer();
    EXPECT_EQ(player.takePlayed(), Paths{""});
}

TEST_F(StepClockTest, TheEffectPathIsReadAtTheMomentOfTheHit) {
    turnOn(Track::Effect, 1);
    turnOn(Track::Effect, 2);
    controls.Label7->setText("one.wav");
    clock.Timer1_Timer();
    controls.Label7->setText("two.wav");
    clock.Timer1_Timer();
    EXPECT_EQ(player.takePlayed(), (Paths{"one.wav", "two.wav"}));
}

}  // namespace
}  // namespace trovik
