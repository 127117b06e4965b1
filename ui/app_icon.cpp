// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/app_icon.h"

#include <QPainter>
#include <cmath>
#include <numbers>

#include "ui/icon_colours.h"

namespace trovik {
namespace {

using namespace icon_colours;

// Where the parts of the monitor go at one icon size. Rectangles are inclusive
// of their right and bottom pixel rows, as fillRect draws them.
struct MonitorLayout {
    QRect bezel;
    QRect screen;
    int gridStep;
    QRect neck;
    QRect base;
};

MonitorLayout layoutFor(int size) {
    if (size <= 16) return {{0, 1, 16, 12}, {2, 3, 12, 8}, 4, {6, 13, 4, 1}, {3, 14, 10, 2}};
    return {{1, 3, 30, 22}, {4, 6, 24, 16}, 4, {13, 25, 6, 3}, {7, 28, 18, 2}};
}

// A raised block: silver face in a grey and black rim, with a white highlight
// and a grey shade just inside it where there is room.
void paintRaised(QPainter& painter, const QRect& r) {
    const auto line = [&painter](int x, int y, int w, int h, QRgb colour) {
        painter.fillRect(QRect(x, y, w, h), QColor::fromRgb(colour));
    };
    line(r.left(), r.top(), r.width(), r.height(), kSilver);
    line(r.left(), r.top(), r.width(), 1, kGrey);
    line(r.left(), r.top(), 1, r.height(), kGrey);
    line(r.left(), r.bottom(), r.width(), 1, kBlack);
    line(r.right(), r.top(), 1, r.height(), kBlack);
    if (r.width() > 4 && r.height() > 4) {
        line(r.left() + 1, r.top() + 1, r.width() - 2, 1, kWhite);
        line(r.left() + 1, r.top() + 1, 1, r.height() - 2, kWhite);
        line(r.left() + 1, r.bottom() - 1, r.width() - 2, 1, kGrey);
        line(r.right() - 1, r.top() + 1, 1, r.height() - 2, kGrey);
    }
}

void paintGrid(QPainter& painter, const QRect& screen, int step) {
    painter.setPen(QColor::fromRgb(kGreen));
    for (int x = screen.left() + step - 1; x < screen.right(); x += step) {
        painter.drawLine(x, screen.top(), x, screen.bottom());
    }
    for (int y = screen.top() + step - 1; y < screen.bottom(); y += step) {
        painter.drawLine(screen.left(), y, screen.right(), y);
    }
}

// One full period across the screen, joined column to column so the wave
// has no gaps where it is steep.
void paintSineWave(QPainter& painter, const QRect& screen) {
    painter.setPen(QColor::fromRgb(kWhite));
    const double middle = screen.top() + (screen.height() - 1) / 2.0;
    const double amplitude = (screen.height() - 3) / 2.0;
    QPoint previous;
    for (int x = screen.left(); x <= screen.right(); ++x) {
        const double phase = 2.0 * std::numbers::pi * (x - screen.left()) / (screen.width() - 1);
        const QPoint point(x, static_cast<int>(std::lround(middle - amplitude * std::sin(phase))));
        painter.drawLine(x == screen.left() ? point : previous, point);
        previous = point;
    }
}

}  // namespace

const QList<QRgb>& standardSixteenColours() {
    static const QList<QRgb> colours{0xff000000, 0xff800000, 0xff008000, 0xff808000,
                                     0xff000080, 0xff800080, 0xff008080, 0xffc0c0c0,
                                     0xff808080, 0xffff0000, 0xff00ff00, 0xffffff00,
                                     0xff0000ff, 0xffff00ff, 0xff00ffff, 0xffffffff};
    return colours;
}

QImage blankIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

QImage monitorIconImage(int size) {
    QImage image = blankIconImage(size);
    const MonitorLayout layout = layoutFor(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    paintRaised(painter, layout.base);
    paintRaised(painter, layout.neck);
    paintRaised(painter, layout.bezel);
    painter.fillRect(layout.screen, QColor::fromRgb(kBlack));
    paintGrid(painter, layout.screen, layout.gridStep);
    paintSineWave(painter, layout.screen);
    return image;
}

QIcon applicationIcon() {
    QIcon icon;
    for (int size : {16, 32}) icon.addPixmap(QPixmap::fromImage(monitorIconImage(size)));
    return icon;
}

}  // namespace trovik
