#pragma once

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QWidget>
#include <array>

#include "sequencer/beat_pattern.h"

namespace trovik::testing {

// The controls the sequencer works on, without the rest of the window.
struct PatternControls {
    QWidget owner;
    std::array<QAbstractButton*, kCellCount> cells{};
    std::array<QLabel*, 3> switches{};
    QScrollBar* HScroll1 = new QScrollBar(Qt::Horizontal, &owner);
    QLabel* Label7 = new QLabel(&owner);

    PatternControls() {
        for (int n = kFirstCellNumber; n <= kLastCellNumber; ++n) {
            auto* cell = new QPushButton(&owner);
            cell->setObjectName(QStringLiteral("Command%1").arg(n));
            cells[n - kFirstCellNumber] = cell;
        }
        for (auto*& s : switches) {
            s = new QLabel(QStringLiteral("O"), &owner);
            setSwitchColour(*s, kSwitchSounds);
        }
        HScroll1->setRange(1, 16);
        HScroll1->setValue(1);
    }

    BeatPattern pattern() const { return BeatPattern(cells, switches); }
};

}  // namespace trovik::testing
