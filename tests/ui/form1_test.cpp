#include "form1.h"

#include <gtest/gtest.h>

#include <QTest>

#include "../support/recording_player.h"
#include "drum_kit.h"

namespace trovik {
namespace {

class Form1Test : public ::testing::Test {
protected:
    testing::RecordingPlayer player;
    HitTime hitTime;
    Form1 form{player, hitTime};

    template <typename Control = QWidget>
    Control* find(const QString& name) {
        auto* control = form.findChild<Control*>(name);
        EXPECT_NE(control, nullptr) << name.toStdString();
        return control;
    }
    QPushButton* cell(int number) { return find<QPushButton>(QStringLiteral("Command%1").arg(number)); }
    QLabel* label(int number) { return find<QLabel>(QStringLiteral("Label%1").arg(number)); }
    void click(QWidget* control) { QTest::mouseClick(control, Qt::LeftButton); }
    QStringList captions() {
        QStringList all;
        for (int n = kFirstCellNumber; n <= kLastCellNumber; ++n) all << cell(n)->text();
        return all;
    }
};

TEST_F(Form1Test, StartsWithAnEmptyPatternSoundingSwitchesAndTheInitialDisplays) {
    EXPECT_EQ(form.size(), QSize(606, 429));
    EXPECT_EQ(form.windowTitle(), "Trovik beat maker");
    for (const QString& caption : captions()) EXPECT_TRUE(caption.isEmpty());
    for (int n : {2, 5, 6}) EXPECT_EQ(switchColour(*label(n)), kSwitchSounds);
    EXPECT_EQ(label(3)->text(), "Tempo-300");
    EXPECT_EQ(label(4)->text(), "Bar-1");
    EXPECT_EQ(form.Timer1().interval(), 200);
    EXPECT_EQ(find<QCheckBox>("Check1")->checkState(), Qt::Checked);
    EXPECT_EQ(find<QScrollBar>("VScroll1")->value(), 150);
}

TEST_F(Form1Test, HiddenStateControlsAreNeverShown) {
    form.show();
    EXPECT_FALSE(find("Check1")->isVisible());
    EXPECT_FALSE(find("HScroll1")->isVisible());
    EXPECT_TRUE(cell(3)->isVisible());
}

TEST_F(Form1Test, EachCellClickTogglesThatCellAndNoOther) {
    form.show();
    for (int n = kFirstCellNumber; n <= kLastCellNumber; ++n) {
        click(cell(n));
        QStringList expected(kCellCount, QString());
        expected[n - kFirstCellNumber] = "O";
        ASSERT_EQ(captions(), expected) << "Command" << n;
        click(cell(n));
        ASSERT_TRUE(cell(n)->text().isEmpty()) << "Command" << n;
    }
}

TEST_F(Form1Test, AClickLeavesAnyOtherCaptionAlone) {
    form.show();
    for (const QString odd : {"o", "O ", "X", " "}) {
        cell(20)->setText(odd);
        click(cell(20));
        EXPECT_EQ(cell(20)->text(), odd);
    }
}

TEST_F(Form1Test, SwitchClicksToggleBlueAndBlackAndLeaveOtherColoursAlone) {
    form.show();
    QLabel* effectSwitch = label(6);
    click(effectSwitch);
    EXPECT_EQ(switchColour(*effectSwitch), kSwitchMuted);
    click(effectSwitch);
    EXPECT_EQ(switchColour(*effectSwitch), kSwitchSounds);
    setSwitchColour(*effectSwitch, qRgb(0, 0, 200));
    click(effectSwitch);
    EXPECT_EQ(switchColour(*effectSwitch), qRgb(0, 0, 200));
    EXPECT_EQ(switchColour(*label(2)), kSwitchSounds) << "the other switches stay";
}

TEST_F(Form1Test, AMutedTrackKeepsItsCellsEditableAndSilentUntilUnmuted) {
    form.show();
    form.Timer1().setInterval(0);  // the test drives the clock itself
    click(label(2));
    click(cell(5));  // bass step 3
    EXPECT_EQ(cell(5)->text(), "O");
    find<QScrollBar>("HScroll1")->setValue(3);
    form.stepClock().Timer1_Timer();
    EXPECT_TRUE(player.takePlayed().empty());
    click(label(2));
    find<QScrollBar>("HScroll1")->setValue(3);
    form.stepClock().Timer1_Timer();
    EXPECT_EQ(player.takePlayed(), std::vector<std::string>{DrumKit::kBassName});
}

TEST_F(Form1Test, TheRightmostEffectCellSoundsOnStep1) {
    form.show();
    form.Timer1().setInterval(0);
    find<QLabel>("Label7")->setText("fx.wav");
    QPushButton* rightmost = nullptr;
    for (int n = 35; n <= 50; ++n) {
        if (!rightmost || cell(n)->x() > rightmost->x()) rightmost = cell(n);
    }
    click(rightmost);
    form.stepClock().Timer1_Timer();
    EXPECT_EQ(player.takePlayed(), std::vector<std::string>{"fx.wav"});
}

TEST_F(Form1Test, PlayAndStopButtonsDriveTheTransport) {
    form.show();
    click(find("Command2"));
    EXPECT_EQ(find<QCheckBox>("Check1")->checkState(), Qt::Unchecked);
    EXPECT_FALSE(form.Timer1().isActive());
    click(find("Command1"));
    EXPECT_EQ(find<QCheckBox>("Check1")->checkState(), Qt::Checked);
    EXPECT_EQ(form.Timer1().interval(), 150);
}

TEST_F(Form1Test, TheTempoControlsTopArrowShortensTheInterval) {
    form.show();
    auto* tempo = find<QScrollBar>("VScroll1");
    QTest::mouseClick(tempo, Qt::LeftButton, {}, QPoint(tempo->width() / 2, 3));
    EXPECT_LT(tempo->value(), 150);
    QTest::mouseClick(tempo, Qt::LeftButton, {}, QPoint(tempo->width() / 2, tempo->height() - 3));
    QTest::mouseClick(tempo, Qt::LeftButton, {}, QPoint(tempo->width() / 2, tempo->height() - 3));
    EXPECT_GT(tempo->value(), 149);
}

TEST_F(Form1Test, TheLoopRunsFromLaunchAndTheBarDisplayFollows) {
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return label(4)->text() == "Bar- 3"; }, 2000));
    EXPECT_EQ(label(3)->text(), "Tempo: 850");
    EXPECT_EQ(form.Timer1().interval(), 150);
}

TEST_F(Form1Test, StepCellsSitInTheirColumns) {
    for (int column = 1; column <= 16; ++column) {
        const int x = 122 + 29 * (column - 1);
        EXPECT_EQ(cell(column + 2)->geometry(), QRect(x, 115, 22, 22));
        EXPECT_EQ(cell(35 - column)->geometry(), QRect(x, 250, 22, 22));
        EXPECT_EQ(cell(51 - column)->geometry(), QRect(x, 385, 22, 22));
    }
}

}  // namespace
}  // namespace trovik
