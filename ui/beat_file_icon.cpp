// SPDX-License-Identifier: GPL-3.0-or-later
#include <QPainter>
#include <QPolygon>
#include <array>

#include "ui/app_icon.h"
#include "ui/icon_colours.h"

namespace trovik {
namespace {

using namespace icon_colours;

// Where the parts of the beat file icon go at one size: a sheet of paper with
// its top right corner folded down, a line of text for the beat name, and
// four steps of each of the three tracks as small cells.
struct SheetLayout {
    QRect sheet;
    int fold;
    QLine nameLine;
    int cell;
    int gap;
    int firstRowTop;
};

SheetLayout sheetLayoutFor(int size) {
    if (size <= 16) return {{1, 0, 15, 16}, 4, {3, 3, 9, 3}, 2, 1, 7};
    return {{4, 1, 24, 30}, 7, {7, 6, 17, 6}, 3, 2, 13};
}

void paintSheet(QPainter& painter, const SheetLayout& layout) {
    const QRect& r = layout.sheet;
    const int foldLeft = r.right() - layout.fold;
    const int foldBottom = r.top() + layout.fold;
    painter.setPen(QColor::fromRgb(kBlack));
    painter.setBrush(QColor::fromRgb(kWhite));
    painter.drawPolygon(QPolygon({{r.left(), r.top()},
                                  {foldLeft, r.top()},
                                  {r.right(), foldBottom},
                                  {r.right(), r.bottom()},
                                  {r.left(), r.bottom()}}));
    painter.setBrush(QColor::fromRgb(kSilver));
    painter.drawPolygon(
        QPolygon({{foldLeft, r.top()}, {foldLeft, foldBottom}, {r.right(), foldBottom}}));
}

// Bass on the first and third step, snare on the second and fourth, the
// effect on the fourth: a beat in miniature.
void paintSteps(QPainter& painter, const SheetLayout& layout) {
    constexpr std::array<QRgb, 3> kTrackColours{kBlue, kRed, kGreen};
    constexpr std::array<std::array<bool, 4>, 3> kCellsOn{
        {{true, false, true, false}, {false, true, false, true}, {false, false, false, true}}};
    const int rowWidth = 4 * layout.cell + 3 * layout.gap;
    const int left = layout.sheet.left() + (layout.sheet.width() - rowWidth) / 2;
    for (size_t track = 0; track < kCellsOn.size(); ++track) {
        const int top = layout.firstRowTop + static_cast<int>(track) * (layout.cell + layout.gap);
        for (size_t step = 0; step < kCellsOn[track].size(); ++step) {
            const QRgb colour = kCellsOn[track][step] ? kTrackColours[track] : kSilver;
            const int x = left + static_cast<int>(step) * (layout.cell + layout.gap);
            painter.fillRect(QRect(x, top, layout.cell, layout.cell), QColor::fromRgb(colour));
        }
    }
}

}  // namespace

QImage beatFileIconImage(int size) {
    QImage image = blankIconImage(size);
    const SheetLayout layout = sheetLayoutFor(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    paintSheet(painter, layout);
    painter.setPen(QColor::fromRgb(kGrey));
    painter.drawLine(layout.nameLine);
    paintSteps(painter, layout);
    return image;
}

}  // namespace trovik
