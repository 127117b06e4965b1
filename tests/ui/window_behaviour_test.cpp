// What the window does beyond the sequencer: the selector, the keyboard
// focus and what a screen reader is told.
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QLineEdit>

#include "app_identity.h"
#include "beat_pattern.h"
#include "window_fixture.h"

namespace trovik {
namespace {

using testing::WindowTest;
using FocusTest = WindowTest;
using AccessibilityTest = WindowTest;

class SelectorTest : public WindowTest {
  protected:
    // Everything a selector click must leave alone.
    QStringList otherState() {
        QStringList state = captions(1, 52) + captions(57, 64);
        for (const char* name : {"Text1", "Text2", "Text3", "Text4"})
            state << find<QLineEdit>(name)->text();
        for (int n : {2, 5, 6}) state << QString::number(switchColour(*label(n)));
        return state;
    }
};

TEST_F(SelectorTest, TheClickedButtonIsMarkedAndTheOthersShowTheirNumber) {
    form.show();
    const struct {
        int clicked;
        QStringList captions;
    } cases[] = {{55, {"1", "2", "-3-", "4"}},
                 {55, {"1", "2", "-3-", "4"}},
                 {54, {"1", "-2-", "3", "4"}},
                 {56, {"1", "2", "3", "-4-"}},
                 {53, {"-1-", "2", "3", "4"}}};
    for (const auto& c : cases) {
        click(command(c.clicked));
        EXPECT_EQ(captions(53, 56), c.captions) << "after Command" << c.clicked;
    }
}

TEST_F(SelectorTest, SelectorClicksChangeNothingElseAndTheLowerRowsAreInert) {
    form.show();
    form.Timer1().setInterval(0);
    command(5)->setText("O");
    const QStringList before = otherState();
    for (int n = 53; n <= 64; ++n) click(command(n));
    EXPECT_EQ(otherState(), before);
    EXPECT_EQ(captions(57, 60), QStringList({"-1-", "2", "3", "4"}));
    EXPECT_EQ(captions(61, 64), QStringList({"-1-", "2", "3", "4"}));
    EXPECT_EQ(captions(53, 56), QStringList({"1", "2", "3", "-4-"}));
    EXPECT_TRUE(player.takePlayed().empty());
}

TEST_F(SelectorTest, PlayAndStopLeaveTheSelectionAlone) {
    form.show();
    click(command(54));
    click(command(2));
    click(command(1));
    EXPECT_EQ(captions(53, 56), QStringList({"1", "-2-", "3", "4"}));
}

TEST_F(FocusTest, TheFocusStartsOnPlay) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(QApplication::focusWidget(), command(1));
}

// Tab walks the visible controls that take the focus, in tab index order,
// and comes back round to Play.
TEST_F(FocusTest, TabVisitsTheControlsInTabIndexOrder) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QStringList expected{"Command1", "Command2", "VScroll1"};
    for (int n = 3; n <= 52; ++n) expected << QStringLiteral("Command%1").arg(n);
    expected << "Text1"
             << "Text2"
             << "Text3"
             << "Text4"
             << "Drive1"
             << "Dir1"
             << "File1";
    for (int n = 53; n <= 64; ++n) expected << QStringLiteral("Command%1").arg(n);
    expected << "Command1";

    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        while (focus && focus->parentWidget() != &form)
            focus = focus->parentWidget();  // inside a list box
        ASSERT_NE(focus, nullptr);
        visited << focus->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, expected);
}

QAccessibleInterface* accessible(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

TEST_F(AccessibilityTest, EveryControlAScreenReaderReachesHasANameOfItsOwn) {
    form.show();
    QStringList names;
    for (QWidget* control : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!control->isVisible() || control->objectName().startsWith("Label")) continue;
        const QString name = accessible(control)->text(QAccessible::Name);
        EXPECT_FALSE(name.isEmpty()) << control->objectName().toStdString();
        EXPECT_FALSE(names.contains(name)) << name.toStdString() << " twice";
        names << name;
    }
    EXPECT_EQ(accessible(command(7))->text(QAccessible::Name), "Bass step 5");
    EXPECT_EQ(accessible(command(34))->text(QAccessible::Name), "Snare step 1");
    EXPECT_EQ(accessible(command(35))->text(QAccessible::Name), "Effect step 1");
    EXPECT_EQ(accessible(label(6))->text(QAccessible::Name), "Effect track switch");
    EXPECT_EQ(accessible(find("VScroll1"))->text(QAccessible::Name), "Tempo");
}

TEST_F(AccessibilityTest, CellsAndSwitchesReportWhetherTheyAreOn) {
    form.show();
    QAccessibleInterface* cell = accessible(command(7));
    QAccessibleInterface* trackSwitch = accessible(label(2));
    EXPECT_EQ(cell->role(), QAccessible::CheckBox);
    EXPECT_TRUE(cell->state().checkable);
    EXPECT_FALSE(cell->state().checked);
    click(command(7));
    EXPECT_TRUE(cell->state().checked);
    command(7)->setText(QString());  // as a loaded beat would
    EXPECT_FALSE(cell->state().checked);

    EXPECT_TRUE(trackSwitch->state().checked) << "a blue switch sounds";
    click(label(2));
    EXPECT_FALSE(trackSwitch->state().checked);
}

TEST_F(AccessibilityTest, AScreenReaderCanToggleCellsAndSwitches) {
    form.show();
    for (QWidget* control : {static_cast<QWidget*>(command(40)), static_cast<QWidget*>(label(5))}) {
        QAccessibleActionInterface* actions = accessible(control)->actionInterface();
        ASSERT_NE(actions, nullptr);
        ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        actions->doAction(QAccessibleActionInterface::toggleAction());
    }
    EXPECT_EQ(command(40)->text(), "O");
    EXPECT_EQ(switchColour(*label(5)), kSwitchMuted);
}

TEST_F(AccessibilityTest, TheDisplaysAreReadOutAsTheyShow) {
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return label(4)->text() != "Bar-1"; }, 2000));
    EXPECT_EQ(accessible(label(4))->text(QAccessible::Name), label(4)->text());
    EXPECT_EQ(accessible(label(3))->text(QAccessible::Name), label(3)->text());
}

TEST(IdentityTest, TitleAndVersionText) {
    EXPECT_EQ(kApplicationTitle, "Trovik Beat Maker");
    EXPECT_EQ(kVersionText, "1.02.0001");
}

}  // namespace
}  // namespace trovik
