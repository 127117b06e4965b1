// SPDX-License-Identifier: GPL-3.0-or-later
// The main window offscreen: its frame and artwork, what clicks on its
// controls do, the selector, the keyboard focus and what a screen reader is told.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <array>

#include "sequencer/step_sequencer.h"
#include "tests/sequencer/step_recorder.h"
#include "ui/accessibility.h"
#include "ui/form1.h"
#include "ui/switch_colour.h"

namespace trovik {
namespace {

QAccessibleInterface* accessible(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

// What a plain label with the display's text, font and colours shows.
QImage plainLabelFace(const QLabel& display) {
    QLabel plain(display.text());
    plain.setFont(display.font());
    plain.setPalette(display.palette());
    plain.setAutoFillBackground(true);
    plain.setFixedSize(display.size());
    return plain.grab().toImage();
}

class WindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { installAccessibleToggles(); }

    static constexpr int kRate = 1000;  // a frame a millisecond

    SequencerLink link;
    BeatModel beat{link};
    Form1 form{beat};
    // The step clock the audio thread walks in the program, walked here by hand.
    StepRecorder steps{link, kRate};

    void SetUp() override { form.show(); }

    template <typename Control = QWidget>
    Control* find(const QString& name) {
        auto* control = form.findChild<Control*>(name);
        EXPECT_NE(control, nullptr) << name.toStdString();
        return control;
    }
    QPushButton* command(int n) { return find<QPushButton>(QStringLiteral("Command%1").arg(n)); }
    QLabel* label(int n) { return find<QLabel>(QStringLiteral("Label%1").arg(n)); }
    void click(QWidget* control) { QTest::mouseClick(control, Qt::LeftButton); }
    void walk(int milliseconds) {
        steps.walk(milliseconds);
        beat.followPosition();
    }
    QStringList captions(int first, int last) {
        QStringList all;
        for (int n = first; n <= last; ++n) all << command(n)->text();
        return all;
    }
};

// The frame (title bar and borders) counts: the offscreen platform gives
// every framed window a border, and a window manager adds a title bar too.
TEST(WindowPlacement, TheFramedWindowIsCentredOnTheScreen) {
    SequencerLink link;
    BeatModel beat{link};
    Form1 form{beat};
    form.showCentred();
    const QRect frame = form.frameGeometry();
    ASSERT_NE(frame.size(), form.size()) << "the platform draws no frame";
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(std::abs(frame.center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(frame.center().y() - screen.center().y()), 1);
}

// The window as it opens, as drawn: 606 x 429, every step cell off and
// covering the square painted for it exactly (shifted by a pixel, it would
// hide one side of the outline and leave white showing on the other), and
// each track switch a blue "O".
TEST_F(WindowTest, EveryCellCoversItsPaintedSquareAndEverySwitchShowsBlue) {
    const QImage shot = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), QSize(606, 429));
    const auto count = [&shot](const QRect& area, auto wanted) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += wanted(shot.pixel(x, y) & 0xffffff);
        return n;
    };
    // The outermost pixels of `r` but for its corners, which a button style may round off.
    const auto edges = [&count](const QRect& r, auto wanted) {
        return count({r.left() + 1, r.top(), r.width() - 2, 1}, wanted) +
               count({r.left() + 1, r.bottom(), r.width() - 2, 1}, wanted) +
               count({r.left(), r.top() + 1, 1, r.height() - 2}, wanted) +
               count({r.right(), r.top() + 1, 1, r.height() - 2}, wanted);
    };
    const auto blue = [](QRgb c) { return c == 0x0000ff; };
    for (const auto& [switchTop, cellTop] : {std::pair{72, 115}, {208, 250}, {344, 385}}) {
        // Inside the switch, clear of the painted outline that its last row may touch.
        const QRect o = QRect(32, switchTop, 33, 33).adjusted(3, 3, -3, -3);
        EXPECT_GT(count(o, blue), 40) << "switch at " << switchTop;
        EXPECT_EQ(count(o, [](QRgb c) { return c == 0; }), 0) << "switch at " << switchTop;
        for (int left = 122; left < 122 + 16 * 29; left += 29) {
            const QRect cell(left, cellTop, 22, 22);
            EXPECT_EQ(edges(cell.adjusted(-1, -1, 1, 1), blue), 88) << left << "," << cellTop;
            EXPECT_EQ(edges(cell, [](QRgb c) { return c != 0x0000ff && c != 0xffffff; }), 80)
                << "the painted square shows inside the cell at " << left << "," << cellTop;
            EXPECT_LE(count(cell.adjusted(5, 4, -5, -4),
                            [](QRgb c) { return qRed(c) < 90 && qGreen(c) < 90 && qBlue(c) < 90; }),
                      12)
                << "the cell at " << left << "," << cellTop << " is on";
        }
    }
}

// A click on a caption other than "O" leaves it: the beat model test.
TEST_F(WindowTest, ACellClickTogglesThatCellOnly) {
    for (int n = kFirstCellNumber; n <= kLastCellNumber; ++n) {
        click(command(n));
        QStringList expected(kCellCount, QString());
        expected[n - kFirstCellNumber] = "O";
        ASSERT_EQ(captions(kFirstCellNumber, kLastCellNumber), expected) << "Command" << n;
        click(command(n));
        ASSERT_TRUE(command(n)->text().isEmpty()) << "Command" << n;
    }
}

TEST_F(WindowTest, PlayStopTheTempoArrowsAndALoadDriveTheLoop) {
    click(command(2));
    EXPECT_EQ(find<QCheckBox>("Check1")->checkState(), Qt::Unchecked);
    EXPECT_EQ(beat.period(), 0);
    click(command(1));
    EXPECT_EQ(find<QCheckBox>("Check1")->checkState(), Qt::Checked);
    EXPECT_EQ(beat.period(), 150);
    auto* tempo = find<QScrollBar>("VScroll1");
    const auto arrow = [tempo](int y) {
        QTest::mouseClick(tempo, Qt::LeftButton, {}, QPoint(tempo->width() / 2, y));
    };
    arrow(3);
    EXPECT_LT(tempo->value(), 150) << "the top arrow shortens the interval";
    arrow(tempo->height() - 3);
    arrow(tempo->height() - 3);
    EXPECT_GT(tempo->value(), 150) << "the bottom arrow lengthens it";
    EXPECT_EQ(beat.period(), tempo->value()) << "at once";
    EXPECT_EQ(label(3)->text(), QStringLiteral("Tempo: %1").arg(1000 - tempo->value()));

    std::array<QString, kCellCount> captions;
    captions[40 - kFirstCellNumber] = " o ";
    beat.load(321, captions);  // Load writes the model; the window shows what it holds
    EXPECT_EQ(command(40)->text(), " o ");
    EXPECT_EQ(tempo->value(), 321);
    EXPECT_EQ(label(3)->text(), "Tempo: 679");
}

// The step clock runs from launch; the bar display shows the step the next
// tick plays, as the step clock tells it. Stop shows step 1 at once, before
// the step clock took it; once it did, nothing wakes the window.
TEST_F(WindowTest, TheLoopRunsFromLaunchAndTheDisplaysFollowTheStepClock) {
    EXPECT_EQ(label(4)->text(), "Bar- 1");
    EXPECT_EQ(label(3)->text(), "Tempo: 850");
    EXPECT_EQ(label(4)->grab().toImage(), plainLabelFace(*label(4)));
    walk(300);  // the first step falls 150 ms in, the second on frame 300
    EXPECT_EQ(label(4)->text(), "Bar- 2");
    walk(1);
    EXPECT_EQ(label(4)->text(), "Bar- 3");
    EXPECT_EQ(find<QScrollBar>("HScroll1")->value(), 3);
    EXPECT_EQ(label(4)->grab().toImage(), plainLabelFace(*label(4))) << "shows the text it has now";
    walk(148);
    EXPECT_EQ(label(4)->text(), "Bar- 3") << "for the whole step";
    EXPECT_TRUE(form.Timer2().isActive()) << "it wakes for the next step";
    EXPECT_EQ(accessible(label(4))->text(QAccessible::Name), label(4)->text());
    EXPECT_EQ(accessible(label(3))->text(QAccessible::Name), label(3)->text());

    click(command(2));
    EXPECT_EQ(label(4)->text(), "Bar- 1");
    walk(1000);
    form.Timer2_Timer();
    EXPECT_EQ(label(4)->text(), "Bar- 1");
    EXPECT_FALSE(form.Timer2().isActive());
}

// The bass selector marks the button last clicked; it and the two rows under
// the other switches change nothing else.
TEST_F(WindowTest, TheSelectorMarksTheLastClickAndAllSelectorRowsAreOtherwiseInert) {
    click(command(5));
    const auto otherState = [this] {
        QStringList state = captions(1, 52);
        for (const char* name : {"Text1", "Text2", "Text3", "Text4"})
            state << find<QLineEdit>(name)->text();
        for (int n : {2, 5, 6}) state << QString::number(switchColour(*label(n)));
        return state;
    };
    const QStringList before = otherState();
    for (int clicked : {55, 55, 54, 53, 56}) {
        click(command(clicked));
        QStringList marks{"1", "2", "3", "4"};
        marks[clicked - 53] = QStringLiteral("-%1-").arg(clicked - 52);
        EXPECT_EQ(captions(53, 56), marks) << "after Command" << clicked;
    }
    for (int n = 57; n <= 64; ++n) click(command(n));
    EXPECT_EQ(captions(57, 64), QStringList({"-1-", "2", "3", "4", "-1-", "2", "3", "4"}));
    EXPECT_EQ(captions(53, 56), QStringList({"1", "2", "3", "-4-"}));
    EXPECT_EQ(otherState(), before);
}

// Every caption the window shows as it opens, and those it can come to
// show at their widest, within its control.
TEST_F(WindowTest, EveryCaptionFitsItsControl) {
    std::vector<std::pair<QWidget*, QString>> texts{
        {label(3), "Tempo-300"}, {label(3), "Tempo: 1000"}, {label(3), "Tempo: 888"},
        {label(4), "Bar-1"},     {label(4), "Bar- 16"},     {label(4), "Bar- 8"},
        {command(53), "-1-"},    {command(56), "-4-"},      {command(3), "O"}};
    for (QWidget* control : form.findChildren<QWidget*>()) {
        const QString shown = control->property("text").toString();
        if (!shown.isEmpty()) texts.emplace_back(control, shown);
    }
    for (const auto& [control, text] : texts) {
        const QFontMetrics metrics(control->font());
        const std::string what = control->objectName().toStdString() + " " + text.toStdString();
        EXPECT_LE(metrics.horizontalAdvance(text), control->width() - 4) << what;
        EXPECT_LE(metrics.tightBoundingRect(text).height(), control->height()) << what;
    }
}

// The focus starts on Play; Tab visits the controls in tab index order and
// comes back round to Play.
TEST_F(WindowTest, TabWalksTheControlsInOrderFromPlay) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form, 30000));  // returns once active
    QStringList expected{"Command1", "Command2", "VScroll1"};
    for (int n = 3; n <= 52; ++n) expected << QStringLiteral("Command%1").arg(n);
    expected += QStringList{"Text1", "Text2", "Text3", "Text4", "Drive1", "Dir1", "File1"};
    for (int n = 53; n <= 64; ++n) expected << QStringLiteral("Command%1").arg(n);
    expected << "Command1";
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        while (focus && focus->parentWidget() != &form) focus = focus->parentWidget();
        ASSERT_NE(focus, nullptr);
        visited << focus->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, expected);
}

TEST_F(WindowTest, ScreenReadersGetNamesStatesAndTogglesAndASwitchFlipsExactBlueAndBlack) {
    const std::pair<QWidget*, QString> names[] = {{command(7), "Bass step 5"},
                                                  {command(34), "Snare step 1"},
                                                  {command(35), "Effect step 1"},
                                                  {label(6), "Effect track switch"},
                                                  {find("VScroll1"), "Tempo"}};
    for (const auto& [control, name] : names)
        EXPECT_EQ(accessible(control)->text(QAccessible::Name), name);
    QAccessibleInterface* cell = accessible(command(7));
    EXPECT_EQ(cell->role(), QAccessible::CheckBox);
    EXPECT_FALSE(cell->state().checked);
    click(command(7));
    EXPECT_TRUE(cell->state().checked);
    beat.load(beat.interval(), {});
    EXPECT_FALSE(cell->state().checked);
    cell->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(command(7)->text(), "O");

    // Only exact blue sounds, so a switch must start and come back exactly
    // blue, whether clicked or toggled by a screen reader.
    for (int n : {2, 5, 6}) EXPECT_EQ(switchColour(*label(n)), kSwitchSounds) << "Label" << n;
    click(label(6));
    EXPECT_EQ(switchColour(*label(6)), kSwitchMuted);
    EXPECT_EQ(switchColour(*label(2)), kSwitchSounds) << "the other switches stay";
    EXPECT_FALSE(beat.sounds(Track::Effect));
    QAccessibleInterface* trackSwitch = accessible(label(6));
    EXPECT_FALSE(trackSwitch->state().checked) << "a black switch is silent";
    trackSwitch->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(switchColour(*label(6)), kSwitchSounds);
    EXPECT_TRUE(trackSwitch->state().checked);
    EXPECT_TRUE(beat.sounds(Track::Effect));
}

}  // namespace
}  // namespace trovik
