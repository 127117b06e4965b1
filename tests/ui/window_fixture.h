#pragma once

#include <gtest/gtest.h>

#include <QTest>

#include "../support/recording_player.h"
#include "form1.h"

namespace trovik::testing {

// A main window with a player that only records, shown offscreen.
class WindowTest : public ::testing::Test {
  protected:
    RecordingPlayer player;
    HitTime hitTime;
    Form1 form{player, hitTime};

    template <typename Control = QWidget>
    Control* find(const QString& name) {
        auto* control = form.findChild<Control*>(name);
        EXPECT_NE(control, nullptr) << name.toStdString();
        return control;
    }
    QPushButton* command(int number) {
        return find<QPushButton>(QStringLiteral("Command%1").arg(number));
    }
    QLabel* label(int number) { return find<QLabel>(QStringLiteral("Label%1").arg(number)); }
    void click(QWidget* control) { QTest::mouseClick(control, Qt::LeftButton); }

    QStringList captions(int first, int last) {
        QStringList all;
        for (int n = first; n <= last; ++n) all << command(n)->text();
        return all;
    }
};

}  // namespace trovik::testing
