// Checks a screenshot of the main window's client area (606 x 429) against
// the window's layout. Used by window_test.sh.
//
//   window_shot_check layout SHOT
//   window_shot_check cells SHOT ON...      ON: row:column of every cell expected on, e.g. 1:1 3:16
//   window_shot_check switches SHOT S S S   S: "sounds" (blue O) or "muted" (black O), bass snare
//   effect window_shot_check same|differ SHOT1 SHOT2 X Y W H
#include <QColor>
#include <QImage>
#include <QRect>
#include <QStringList>
#include <cstdio>
#include <functional>
#include <string>

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kField = qRgb(0, 95, 223);
const QRgb kPureBlue = qRgb(0, 0, 255);
const QRgb kDarkBlue = qRgb(0, 0, 128);

constexpr int kCellRowTops[3] = {115, 250, 385};
constexpr int kSwitchTops[3] = {72, 208, 344};
constexpr int kPanelTops[3] = {27, 162, 297};

int failures = 0;

void expect(bool ok, const std::string& what) {
    if (!ok) {
        std::printf("FAIL: %s\n", what.c_str());
        ++failures;
    }
}

QRgb at(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xffffff;
}

int count(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& wanted) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            n += wanted(image.pixel(x, y) | 0xff000000) ? 1 : 0;
    }
    return n;
}

bool isDark(QRgb c) {
    return qRed(c) < 90 && qGreen(c) < 90 && qBlue(c) < 90;
}
std::function<bool(QRgb)> is(QRgb colour) {
    return [colour](QRgb c) { return (c | 0xff000000) == (colour | 0xff000000); };
}

// The ring of pixels just outside `r`.
QList<QPoint> ringAround(const QRect& r) {
    QList<QPoint> ring;
    const QRect outer = r.adjusted(-1, -1, 1, 1);
    for (int x = outer.left(); x <= outer.right(); ++x)
        ring << QPoint(x, outer.top()) << QPoint(x, outer.bottom());
    for (int y = r.top(); y <= r.bottom(); ++y)
        ring << QPoint(outer.left(), y) << QPoint(outer.right(), y);
    return ring;
}

// The outermost pixels of `r` itself, but for its corners, which a button
// style may round off.
QList<QPoint> edgeOf(const QRect& r) {
    QList<QPoint> edge = ringAround(r.adjusted(1, 1, -1, -1));
    for (const QPoint& corner : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()})
        edge.removeAll(corner);
    return edge;
}

QRect cellRect(int row, int column) {
    return {122 + 29 * (column - 1), kCellRowTops[row - 1], 22, 22};
}

// Each painted square shows its whole outline, and the cell covers every
// pixel inside it: shifted by one pixel, it would cover the outline on one
// side and leave the white interior showing on the other.
void checkCellsCoverTheirSquares(const QImage& shot) {
    for (int row = 1; row <= 3; ++row) {
        for (int column = 1; column <= 16; ++column) {
            const QRect cell = cellRect(row, column);
            const QString where = QStringLiteral("cell %1:%2").arg(row).arg(column);
            int outline = 0;
            for (const QPoint& p : ringAround(cell))
                outline += at(shot, p.x(), p.y()) == (kPureBlue & 0xffffff);
            expect(outline == 92,
                   (where + QStringLiteral(": %1 of 92 outline pixels blue").arg(outline))
                       .toStdString());
            int covered = 0;
            for (const QPoint& p : edgeOf(cell)) {
                const QRgb c = at(shot, p.x(), p.y());
                covered += c != (kPureBlue & 0xffffff) && c != (kWhite & 0xffffff);
            }
            expect(covered == 80,
                   (where + QStringLiteral(": %1 of 80 edge pixels are the button's").arg(covered))
                       .toStdString());
        }
    }
}

void checkSwitchSquares(const QImage& shot) {
    for (int panel = 0; panel < 3; ++panel) {
        const QRect interior(32, 72 + 135 * panel, 33, 33);
        int outline = 0;
        for (const QPoint& p : ringAround(interior))
            outline += at(shot, p.x(), p.y()) == (kPureBlue & 0xffffff);
        expect(outline == 136, "large square " + std::to_string(panel + 1) + " outline");
        expect(count(shot, interior, is(kPureBlue)) > 40,
               "switch " + std::to_string(panel + 1) + " shows a blue O");
    }
}

void checkArtwork(const QImage& shot) {
    expect(count(shot, QRect(0, 24, 17, 405), is(kField)) == 17 * 405,
           "blue field along the left edge");
    for (int gap : {159, 294}) {
        expect(count(shot, QRect(0, gap, 606, 3), is(kField)) == 606 * 3,
               "blue field between the panels");
    }
    for (int panel = 0; panel < 3; ++panel) {
        const int top = kPanelTops[panel];
        expect(at(shot, 17, top) == (kWhite & 0xffffff) &&
                   at(shot, 591, top + 128) == (kWhite & 0xffffff),
               "panel " + std::to_string(panel + 1) + " corners");
        const QRgb shadow = at(shot, 300, top + 129);
        expect(shadow != (kField & 0xffffff) && shadow != (kWhite & 0xffffff), "panel shadow");
        expect(count(shot, QRect(25, top + 8, 90, 26), is(kDarkBlue)) > 60,
               "heading " + std::to_string(panel + 1));
        for (int column = 1; column <= 16; ++column) {
            const QRect number(122 + 29 * (column - 1) - 3, kCellRowTops[panel] - 17, 28, 14);
            expect(count(shot, number, [](QRgb c) { return c != kWhite; }) > 10,
                   "number above column " + std::to_string(column));
        }
    }
}

void checkTopBand(const QImage& shot) {
    const QRect title(1, 1, 198, 22);
    expect(count(shot, title,
                 [](QRgb c) { return qBlue(c) > 120 && qRed(c) < 60 && qGreen(c) < 60; }) > 40,
           "title text in blue");
    expect(count(shot, QRect(0, 0, 200, 1), isDark) == 200, "title's single-line border");
    for (const QRect& display : {QRect(354, 0, 81, 17), QRect(441, 0, 53, 17)}) {
        expect(count(shot, display, isDark) > 20, "display text");
        expect(count(shot, display, is(kWhite)) > display.width() * display.height() / 2,
               "display on white");
    }
    for (const QRect& button :
         {QRect(200, 0, 49, 25), QRect(248, 0, 49, 25), QRect(558, 0, 48, 25)}) {
        expect(count(shot, button, isDark) > 20, "button caption in the top band");
    }
}

void checkHiddenControlsUnseen(const QImage& shot) {
    expect(count(shot, QRect(210, 42, 49, 13), is(kWhite)) == 49 * 13, "Check1 area plain");
    expect(count(shot, QRect(264, 208, 81, 17), is(kWhite)) == 81 * 17, "HScroll1 area plain");
}

bool cellIsOn(const QImage& shot, int row, int column) {
    return count(shot, cellRect(row, column).adjusted(5, 4, -5, -4), isDark) > 12;
}

int layout(const QImage& shot) {
    expect(shot.size() == QSize(606, 429), "screenshot is 606 x 429");
    if (failures) return 1;
    checkTopBand(shot);
    checkArtwork(shot);
    checkCellsCoverTheirSquares(shot);
    checkSwitchSquares(shot);
    checkHiddenControlsUnseen(shot);
    return failures ? 1 : 0;
}

int cells(const QImage& shot, const QStringList& on) {
    for (int row = 1; row <= 3; ++row) {
        for (int column = 1; column <= 16; ++column) {
            const QString key = QStringLiteral("%1:%2").arg(row).arg(column);
            expect(cellIsOn(shot, row, column) == on.contains(key),
                   (QStringLiteral("cell ") + key +
                    (on.contains(key) ? " should be on" : " should be off"))
                       .toStdString());
        }
    }
    return failures ? 1 : 0;
}

int switches(const QImage& shot, const QStringList& states) {
    for (int panel = 0; panel < 3; ++panel) {
        // Inside the label, clear of the painted outline that its last row may touch.
        const QRect label = QRect(32, kSwitchTops[panel], 33, 33).adjusted(3, 3, -3, -3);
        const bool sounds = states.value(panel) == QLatin1String("sounds");
        const int blue = count(shot, label, is(kPureBlue));
        const int black = count(shot, label, is(qRgb(0, 0, 0)));
        expect(sounds ? blue > 40 && black == 0 : black > 40 && blue == 0,
               "switch " + std::to_string(panel + 1) + " should be " +
                   states.value(panel).toStdString());
    }
    return failures ? 1 : 0;
}

int compare(const QImage& a, const QImage& b, const QRect& area, bool wantSame) {
    const bool same = a.copy(area) == b.copy(area);
    expect(same == wantSame, wantSame ? "region changed" : "region did not change");
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    if (args.size() < 2) {
        std::fprintf(stderr,
                     "usage: window_shot_check layout|cells|switches|same|differ SHOT ...\n");
        return 2;
    }
    const QImage shot = QImage(args[1]).convertToFormat(QImage::Format_RGB32);
    if (shot.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 2;
    }
    const QString mode = args[0];
    if (mode == "layout") return layout(shot);
    if (mode == "cells") return cells(shot, args.mid(2));
    if (mode == "switches") return switches(shot, args.mid(2));
    if ((mode == "same" || mode == "differ") && args.size() == 7) {
        const QImage other = QImage(args[2]).convertToFormat(QImage::Format_RGB32);
        const QRect area(args[3].toInt(), args[4].toInt(), args[5].toInt(), args[6].toInt());
        return compare(shot, other, area, mode == "same");
    }
    std::fprintf(stderr, "unknown check %s\n", argv[1]);
    return 2;
}
