#include "transport.h"

#include <gtest/gtest.h>

#include <QThread>

namespace trovik {
namespace {

class TransportTest : public ::testing::Test {
protected:
    QWidget owner;
    QCheckBox* Check1 = new QCheckBox(&owner);
    QScrollBar* HScroll1 = new QScrollBar(Qt::Horizontal, &owner);
    QScrollBar* VScroll1 = new QScrollBar(Qt::Vertical, &owner);
    QLabel* Label3 = new QLabel(QStringLiteral("Tempo-300"), &owner);
    QLabel* Label4 = new QLabel(QStringLiteral("Bar-1"), &owner);
    ControlTimer Timer1{"Timer1", 200, Qt::PreciseTimer};
    Transport transport{{*Check1, *HScroll1, *VScroll1, Timer1, *Label3, *Label4}};

    void SetUp() override {
        Check1->setCheckState(Qt::Checked);
        HScroll1->setRange(1, 16);
        HScroll1->setValue(1);
        VScroll1->setRange(0, 999);
        VScroll1->setValue(150);
    }
    bool running() const { return Check1->checkState() == Qt::Checked; }
};

TEST_F(TransportTest, FirstMonitorTickTakesTheIntervalAndWritesTheDisplays) {
    transport.Timer2_Timer();
    EXPECT_EQ(Timer1.interval(), 150);
    EXPECT_EQ(Label4->text(), "Bar- 1");
    EXPECT_EQ(Label3->text(), "Tempo: 850");
}

TEST_F(TransportTest, StopRewindsAndHoldsStep1UntilPlay) {
    HScroll1->setValue(9);
    transport.Command2_Click();
    EXPECT_FALSE(running());
    EXPECT_EQ(Timer1.interval(), 0);
    EXPECT_EQ(HScroll1->value(), 1);

    HScroll1->setValue(5);  // as a tick that was already under way would
    transport.Timer2_Timer();
    EXPECT_EQ(HScroll1->value(), 1);
    EXPECT_EQ(Timer1.interval(), 0);
    EXPECT_EQ(Label4->text(), "Bar- 1");

    VScroll1->setValue(400);
    transport.Timer2_Timer();
    EXPECT_EQ(Label3->text(), "Tempo: 600") << "the tempo display follows while stopped";
    EXPECT_EQ(Timer1.interval(), 0) << "but the clock stays stopped";

    transport.Command1_Click();
    EXPECT_TRUE(running());
    EXPECT_EQ(Timer1.interval(), 400);
    EXPECT_EQ(HScroll1->value(), 1);
}

TEST_F(TransportTest, TempoChangesReachTheClockWithoutMovingThePosition) {
    transport.Timer2_Timer();
    HScroll1->setValue(7);
    VScroll1->setValue(20);
    transport.Timer2_Timer();
    EXPECT_EQ(Timer1.interval(), 20);
    EXPECT_EQ(HScroll1->value(), 7);
    EXPECT_EQ(Label4->text(), "Bar- 7");
    EXPECT_EQ(Label3->text(), "Tempo: 980");
}

TEST_F(TransportTest, IntervalZeroHaltsWhereItIsAndRaisingItResumes) {
    transport.Timer2_Timer();
    HScroll1->setValue(6);
    VScroll1->setValue(0);
    transport.Timer2_Timer();
    EXPECT_FALSE(Timer1.isActive());
    EXPECT_TRUE(running());
    EXPECT_EQ(Label3->text(), "Tempo: 1000");
    VScroll1->setValue(1);
    transport.Timer2_Timer();
    EXPECT_TRUE(Timer1.isActive());
    EXPECT_EQ(HScroll1->value(), 6);
    EXPECT_EQ(Label3->text(), "Tempo: 999");
}

TEST_F(TransportTest, PlayWhileRunningDoesNotRestartTheCurrentStep) {
    VScroll1->setValue(500);
    transport.Timer2_Timer();
    QThread::msleep(150);
    transport.Command1_Click();
    transport.Command1_Click();
    transport.Timer2_Timer();
    EXPECT_LE(Timer1.remainingTime(), 500 - 100);
}

TEST(TransportDisplays, NumbersTakeABlankWhereASignWouldGo) {
    EXPECT_EQ(Transport::barText(16), "Bar- 16");
    EXPECT_EQ(Transport::tempoText(999), "Tempo: 1");
    EXPECT_EQ(Transport::tempoText(1001), "Tempo:-1");
}

}  // namespace
}  // namespace trovik
