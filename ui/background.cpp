#include "background.h"

#include <QPainter>
#include <array>

namespace trovik {
namespace {

const QColor kField(0, 95, 223);
const QColor kShadow(184, 176, 214);
const QColor kDarkBlue(0, 0, 128);
const QColor kPureBlue(0, 0, 255);

struct Panel {
    int top;
    const char* heading;
    int switchTop;  // top of the large square's interior
    int cellTop;    // top of the step squares' interiors
};
constexpr std::array<Panel, 3> kPanels{{{27, "Bass drums", 72, 115},
                                        {162, "Snare Drum", 207, 250},
                                        {297, "Effect", 342, 385}}};
constexpr int kPanelLeft = 17;
constexpr int kPanelRight = 591;
constexpr int kPanelHeight = 129;

// An outline drawn just outside an interior of the given size.
void outline(QPainter& painter, int x, int y, int size) {
    painter.drawRect(x - 1, y - 1, size + 1, size + 1);
}

void paintPanel(QPainter& painter, const Panel& panel) {
    const QRect body(kPanelLeft, panel.top, kPanelRight - kPanelLeft + 1, kPanelHeight);
    painter.fillRect(body.translated(3, 3), kShadow);
    painter.fillRect(body, Qt::white);

    QFont headingFont(QStringLiteral("Tahoma"));
    headingFont.setPixelSize(17);
    headingFont.setItalic(true);
    headingFont.setBold(true);
    painter.setFont(headingFont);
    const QRect headingBox(kPanelLeft + 8, panel.top + 8, 118, 26);
    painter.setPen(kDarkBlue);
    painter.drawRect(headingBox);
    painter.drawText(headingBox, Qt::AlignCenter, QString::fromLatin1(panel.heading));

    painter.setPen(QPen(kPureBlue, 1));
    outline(painter, 32, panel.switchTop, 33);

    QFont numberFont(QStringLiteral("Tahoma"));
    numberFont.setPixelSize(11);
    numberFont.setBold(true);
    painter.setFont(numberFont);
    for (int column = 1; column <= 16; ++column) {
        const int x = 122 + 29 * (column - 1);
        painter.setPen(kPureBlue);
        outline(painter, x, panel.cellTop, 22);
        painter.setPen(kDarkBlue);
        painter.drawText(QRect(x - 4, panel.cellTop - 16, 30, 14), Qt::AlignCenter, QString::number(column));
    }
}

}  // namespace

void paintBackground(QPainter& painter) {
    painter.fillRect(0, 0, 608, 24, Qt::white);
    painter.fillRect(0, 24, 608, 406, kField);
    for (const Panel& panel : kPanels) paintPanel(painter, panel);
}

}  // namespace trovik
