// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/background.h"

#include <QFontMetrics>
#include <QPainter>
#include <array>

#include "ui/form_geometry.h"

namespace trovik {
namespace {

const QColor kBand(255, 255, 255);
const QColor kField(0, 95, 223);
const QColor kDarkBlue(0, 0, 128);
const QColor kPureBlue(0, 0, 255);
// The shadow fades from the panel's edge into the blue field.
const std::array<QColor, 3> kShadowShades{QColor(150, 140, 205), QColor(120, 125, 215),
                                          QColor(70, 110, 220)};

constexpr int kBandHeight = 24;
constexpr int kPanelLeft = 17;
constexpr int kPanelRight = 591;
constexpr int kPanelHeight = 129;
constexpr std::array<const char*, 3> kHeadings{"Bass drums", "Snare Drum", "Effect"};

QFont artworkFont(int pixels, bool italic) {
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixels);
    font.setBold(true);
    font.setItalic(italic);
    return font;
}

// A one-pixel line along the inside of `outer`. Filled rather than stroked,
// so it covers whole pixels at any device pixel ratio.
void frame(QPainter& painter, const QRect& outer, const QColor& colour) {
    painter.fillRect(QRect(outer.left(), outer.top(), outer.width(), 1), colour);
    painter.fillRect(QRect(outer.left(), outer.bottom(), outer.width(), 1), colour);
    painter.fillRect(QRect(outer.left(), outer.top(), 1, outer.height()), colour);
    painter.fillRect(QRect(outer.right(), outer.top(), 1, outer.height()), colour);
}

// A one-pixel outline around an interior of size x size pixels at (x, y).
void outlineSquare(QPainter& painter, int x, int y, int size) {
    frame(painter, QRect(x - 1, y - 1, size + 2, size + 2), kPureBlue);
}

void paintPanelBody(QPainter& painter, int top) {
    const QRect body(kPanelLeft, top, kPanelRight - kPanelLeft + 1, kPanelHeight);
    for (int i = static_cast<int>(kShadowShades.size()); i >= 1; --i) {
        const QColor& shade = kShadowShades[static_cast<std::size_t>(i - 1)];
        painter.fillRect(QRect(body.left() + i, body.bottom() + i, body.width(), 1), shade);
        painter.fillRect(QRect(body.right() + i, body.top() + i, 1, body.height()), shade);
    }
    painter.fillRect(body, Qt::white);
}

// The heading's outline is as wide as its text needs, so the effect panel's
// browser controls stay clear of it.
void paintHeading(QPainter& painter, const TrackPanelGeometry& panel, const char* heading) {
    painter.setFont(artworkFont(17, true));
    const QString text = QString::fromLatin1(heading);
    const int textWidth = QFontMetrics(painter.font()).horizontalAdvance(text);
    const QRect box(kPanelLeft + 8, panel.panelTop + 8, textWidth + 14, 25);
    frame(painter, box, kDarkBlue);
    painter.setPen(kDarkBlue);
    painter.drawText(box, Qt::AlignCenter, text);
}

void paintSquares(QPainter& painter, const TrackPanelGeometry& panel) {
    outlineSquare(painter, kSwitchLeft, panel.switchTop, kSwitchSize);
    outlineSquare(painter, kSwitchLeft - 2, panel.switchTop - 2, kSwitchSize + 4);

    painter.setFont(artworkFont(11, false));
    painter.setPen(kDarkBlue);
    for (int column = 1; column <= 16; ++column) {
        const int x = cellLeft(column);
        outlineSquare(painter, x, panel.cellTop, kCellSize);
        painter.drawText(QRect(x - 4, panel.cellTop - 17, kCellSize + 8, 14), Qt::AlignCenter,
                         QString::number(column));
    }
}

}  // namespace

void paintBackground(QPainter& painter) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(0, 0, kBackgroundSize.width(), kBandHeight, kBand);
    painter.fillRect(0, kBandHeight, kBackgroundSize.width(),
                     kBackgroundSize.height() - kBandHeight, kField);
    for (std::size_t i = 0; i < kTrackPanels.size(); ++i) {
        const TrackPanelGeometry& panel = kTrackPanels[i];
        paintPanelBody(painter, panel.panelTop);
        paintHeading(painter, panel, kHeadings[i]);
        paintSquares(painter, panel);
    }
    painter.restore();
}

QPixmap renderBackground(qreal devicePixelRatio) {
    QPixmap pixmap(kBackgroundSize * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    QPainter painter(&pixmap);
    paintBackground(painter);
    return pixmap;
}

}  // namespace trovik
