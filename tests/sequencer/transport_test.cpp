#include "sequencer/transport.h"

#include <gtest/gtest.h>

namespace trovik {
namespace {

class TransportTest : public ::testing::Test {
  protected:
    QWidget owner;
    QCheckBox* Check1 = new QCheckBox(&owner);
    QScrollBar* HScroll1 = new QScrollBar(Qt::Horizontal, &owner);
    QScrollBar* VScroll1 = new QScrollBar(Qt::Vertical, &owner);
    QLabel* Label3 = new QLabel(&owner);
    QLabel* Label4 = new QLabel(&owner);
    ControlTimer Timer1{"Timer1", 200, Qt::PreciseTimer};
    Transport transport{{*Check1, *HScroll1, *VScroll1, Timer1, *Label3, *Label4}};

    void SetUp() override {
        Check1->setCheckState(Qt::Checked);
        HScroll1->setRange(1, 16);
        VScroll1->setRange(0, 999);
        VScroll1->setValue(150);
    }
};

TEST_F(TransportTest, TheMonitorHandsTheTempoToTheClockAndWritesTheDisplays) {
    transport.Timer2_Timer();
    EXPECT_EQ(Timer1.interval(), 150);
    EXPECT_EQ(Label4->text(), "Bar- 1");
    EXPECT_EQ(Label3->text(), "Tempo: 850");
    HScroll1->setValue(7);
    VScroll1->setValue(0);
    transport.Timer2_Timer();
    EXPECT_FALSE(Timer1.isActive()) << "interval 0 halts the clock where it is";
    EXPECT_EQ(Label3->text(), "Tempo: 1000");
    VScroll1->setValue(999);
    transport.Timer2_Timer();
    EXPECT_TRUE(Timer1.isActive());
    EXPECT_EQ(HScroll1->value(), 7) << "and raising it resumes from there";
    EXPECT_EQ(Label3->text(), "Tempo: 1");
    EXPECT_EQ(Label4->text(), "Bar- 7");
}

TEST_F(TransportTest, StopRewindsAndHoldsStep1UntilPlay) {
    HScroll1->setValue(9);
    transport.Command2_Click();
    EXPECT_EQ(Check1->checkState(), Qt::Unchecked);
    EXPECT_EQ(HScroll1->value(), 1);
    HScroll1->setValue(5);  // as a tick that was already under way would
    VScroll1->setValue(400);
    transport.Timer2_Timer();
    EXPECT_EQ(HScroll1->value(), 1);
    EXPECT_FALSE(Timer1.isActive());
    EXPECT_EQ(Label3->text(), "Tempo: 600") << "the tempo display follows while stopped";
    transport.Command1_Click();
    EXPECT_EQ(Check1->checkState(), Qt::Checked);
    EXPECT_EQ(Timer1.interval(), 400);
    EXPECT_EQ(HScroll1->value(), 1);
}

}  // namespace
}  // namespace trovik
