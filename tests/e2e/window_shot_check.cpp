// SPDX-License-Identifier: GPL-3.0-or-later
// Checks a screenshot of the main window's client area as the window opens:
// it is 606 x 429, every step cell covers the square painted for it exactly
// and is off, and each track switch shows a blue "O" (the track sounds).
// Used by window_test.sh; what clicks do is the window unit test's part.
//
//   window_shot_check SHOT
#include <QImage>
#include <QString>
#include <cstdio>

namespace {

constexpr QRgb kWhite = 0xffffff;
constexpr QRgb kBlue = 0x0000ff;
constexpr int kCellTops[3] = {115, 250, 385};
constexpr int kSwitchTops[3] = {72, 208, 344};

int failures = 0;

void expect(bool ok, const QString& what) {
    if (!ok) {
        std::printf("FAIL: %s\n", qPrintable(what));
        ++failures;
    }
}

template <typename Wanted>
int count(const QImage& shot, const QRect& area, Wanted wanted) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) n += wanted(shot.pixel(x, y) & 0xffffff);
    }
    return n;
}

// The outermost pixels of `r` but for its corners, which a button style may round off.
template <typename Wanted>
int edges(const QImage& shot, const QRect& r, Wanted wanted) {
    return count(shot, {r.left() + 1, r.top(), r.width() - 2, 1}, wanted) +
           count(shot, {r.left() + 1, r.bottom(), r.width() - 2, 1}, wanted) +
           count(shot, {r.left(), r.top() + 1, 1, r.height() - 2}, wanted) +
           count(shot, {r.right(), r.top() + 1, 1, r.height() - 2}, wanted);
}

auto is(QRgb colour) {
    return [colour](QRgb c) { return c == colour; };
}
bool isDark(QRgb c) {
    return qRed(c) < 90 && qGreen(c) < 90 && qBlue(c) < 90;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_shot_check SHOT\n");
        return 2;
    }
    const QImage shot =
        QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    if (shot.size() != QSize(606, 429)) {
        std::printf("FAIL: %s is not a 606 x 429 client area\n", argv[1]);
        return 1;
    }
    for (int row = 1; row <= 3; ++row) {
        // Inside the switch, clear of the painted outline that its last row may touch.
        const QRect o = QRect(32, kSwitchTops[row - 1], 33, 33).adjusted(3, 3, -3, -3);
        expect(count(shot, o, is(kBlue)) > 40 && count(shot, o, is(0)) == 0,
               QStringLiteral("switch %1 should be blue").arg(row));
        // Shifted by a pixel, a cell would hide one side of the outline and
        // leave white showing on the other.
        for (int column = 1; column <= 16; ++column) {
            const QRect cell(122 + 29 * (column - 1), kCellTops[row - 1], 22, 22);
            const QString key = QStringLiteral("%1:%2").arg(row).arg(column);
            expect(edges(shot, cell.adjusted(-1, -1, 1, 1), is(kBlue)) == 88,
                   "cell " + key + ": the painted outline is not whole");
            expect(edges(shot, cell, [](QRgb c) { return c != kBlue && c != kWhite; }) == 80,
                   "cell " + key + ": the painted square shows inside the cell");
            expect(count(shot, cell.adjusted(5, 4, -5, -4), isDark) <= 12,
                   "cell " + key + " is on");
        }
    }
    return failures ? 1 : 0;
}
