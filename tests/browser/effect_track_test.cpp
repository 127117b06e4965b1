// The browser inside the main window: Timer4 runs from the start, and the
// effect track plays what the lists chose.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "../support/recording_player.h"
#include "browser_fixture.h"
#include "form1.h"
#include "path_rules.h"

namespace trovik {
namespace {

class EffectTrackTest : public ::testing::Test {
  protected:
    static QString makeTree(const QString& root) {
        QDir(root).mkdir("fx");
        testing::makeFile(QDir(root).filePath("fx/Zap.WAV"));
        return root;
    }

    void playEffectStep() {
        form.controls().HScroll1->setValue(1);
        form.stepClock().Timer1_Timer();
    }

    QTemporaryDir tree;
    testing::WorkingDirectory startedIn{makeTree(tree.path())};
    const QString fx = joinPath(workingDirectory(), "fx");
    testing::RecordingPlayer player;
    HitTime hitTime;
    Form1 form{player, hitTime};
    const FormControls& c = form.controls();
};

TEST_F(EffectTrackTest, TheEffectStepPlaysTheFileChosenInTheLists) {
    form.show();
    c.Command[cellNumber(Track::Effect, 1)]->click();
    playEffectStep();
    EXPECT_EQ(player.takePlayed(), std::vector<std::string>{""});

    testing::userOpens(*c.Dir1, fx);
    EXPECT_TRUE(QTest::qWaitFor([this] { return c.File1->Path() == fx; }, 2000));
    testing::userClicks(*c.File1, "Zap.WAV");
    player.takePlayed();
    playEffectStep();
    EXPECT_EQ(player.takePlayed(), std::vector<std::string>{joinPath(fx, "Zap.WAV").toStdString()});
}

}  // namespace
}  // namespace trovik
