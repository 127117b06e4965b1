#include "sequencer/step_clock.h"

#include <gtest/gtest.h>

#include "sound/drum_kit.h"
#include "tests/sequencer/pattern_fixture.h"
#include "tests/support/recording_player.h"

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
    ControlTimer timer{"Timer1", 150, Qt::PreciseTimer};
    StepClock clock{pattern, *controls.HScroll1, *controls.Label7, player, timer};

    Paths tickAt(int step) {
        controls.HScroll1->setValue(step);
        clock.Timer1_Timer();
        return player.takePlayed();
    }
};

// Bass, snare, effect in that order, so that the last one started is the
// one heard; the effect path is read at the moment of the hit.
TEST_F(StepClockTest, PlaysEveryHittingTrackInOrderThenAdvancesAndWraps) {
    for (Track track : kTracksInPlayOrder) pattern.cell(track, 16).setText(kCellOn);
    controls.Label7->setText("/samples/zap.wav");
    EXPECT_EQ(tickAt(16), (Paths{kBass, kSnare, "/samples/zap.wav"}));
    EXPECT_EQ(controls.HScroll1->value(), 1);
    ASSERT_EQ(player.hits.size(), 3u);
    for (const GridHit& hit : player.hits) {
        EXPECT_EQ(hit.start, timer.gridStart()) << "every hit names Timer1's grid";
        EXPECT_EQ(hit.period, std::chrono::milliseconds(150));
        EXPECT_EQ(hit.index, timer.tickIndex());
    }
    EXPECT_EQ(tickAt(15), Paths{});
    EXPECT_EQ(controls.HScroll1->value(), 16) << "a silent tick still advances";
    controls.Label7->clear();
    EXPECT_EQ(tickAt(16), (Paths{kBass, kSnare, ""})) << "an effect hit before any file is chosen";
}

// The cells are named by control number; the effect row runs right to left
// on screen, and any caption but "" counts as on.
TEST_F(StepClockTest, ControlNumbersMapToTheirTrackAndStep) {
    struct Case {
        int commandNumber, step;
        std::string path;
    };
    controls.Label7->setText("fx.wav");
    for (const Case& c :
         {Case{3, 1, kBass}, Case{18, 16, kBass}, Case{34, 1, kSnare}, Case{19, 16, kSnare},
          Case{35, 1, "fx.wav"}, Case{50, 16, "fx.wav"}, Case{39, 5, "fx.wav"}}) {
        pattern.cellByNumber(c.commandNumber).setText("x");
        EXPECT_EQ(tickAt(c.step), Paths{c.path}) << "Command" << c.commandNumber;
        pattern.cellByNumber(c.commandNumber).setText(kCellOff);
    }
}

TEST_F(StepClockTest, OnlyExactBlueSounds) {
    pattern.cell(Track::Bass, 3).setText(kCellOn);
    for (QRgb colour : {kSwitchMuted, qRgb(0, 0, 254), qRgb(1, 0, 255)}) {
        setSwitchColour(pattern.trackSwitch(Track::Bass), colour);
        EXPECT_EQ(tickAt(3), Paths{}) << std::hex << colour;
    }
    setSwitchColour(pattern.trackSwitch(Track::Bass), kSwitchSounds);
    EXPECT_EQ(tickAt(3), Paths{kBass});
}

}  // namespace
}  // namespace trovik
