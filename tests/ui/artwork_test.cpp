// The window's artwork and the application icon, drawn by our code.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QSet>

#include "app_icon.h"
#include "background.h"

namespace trovik {
namespace {

const QRgb kField = qRgb(0, 95, 223);
const QRgb kOutline = qRgb(0, 0, 255);
const QRgb kHeading = qRgb(0, 0, 128);
const QRgb kWhite = qRgb(255, 255, 255);
constexpr int kPanelTops[] = {27, 162, 297};
constexpr int kSwitchSquareTops[] = {72, 207, 342};
constexpr int kStepSquareTops[] = {115, 250, 385};

class ArtworkTest : public ::testing::Test {
  protected:
    QImage art{kBackgroundSize, QImage::Format_RGB32};

    void SetUp() override {
        art.fill(Qt::magenta);
        QPainter painter(&art);
        paintBackground(painter);
    }
    QRgb at(int x, int y) const { return art.pixel(x, y); }
    int count(const QRect& area, QRgb colour) const {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) n += at(x, y) == colour;
        }
        return n;
    }
    // An interior of plain white inside a one-pixel outline.
    void expectSquare(int x, int y, int size) const {
        EXPECT_EQ(count({x, y, size, size}, kWhite), size * size)
            << "interior at " << x << "," << y;
        const QRect outline(x - 1, y - 1, size + 2, size + 2);
        const int ring = 4 * (size + 1);
        const int outlinePixels = count(outline, kOutline);
        EXPECT_EQ(outlinePixels, ring) << "outline at " << x << "," << y;
    }
};

TEST_F(ArtworkTest, CoversItsWholeAreaWithTheBandAndTheField) {
    EXPECT_EQ(count({0, 0, 608, 430}, qRgb(255, 0, 255)), 0) << "nothing left unpainted";
    EXPECT_EQ(count({0, 0, 608, 24}, kWhite), 608 * 24);
    EXPECT_EQ(count({0, 24, 17, 406}, kField), 17 * 406);
    for (int gap : {159, 294}) EXPECT_EQ(count({0, gap, 608, 3}, kField), 608 * 3);
}

TEST_F(ArtworkTest, PanelsAreWhiteWithAShadowBelowAndRight) {
    for (int top : kPanelTops) {
        EXPECT_EQ(at(17, top), kWhite);
        EXPECT_EQ(at(591, top + 128), kWhite);
        EXPECT_EQ(at(16, top + 50), kField);
        for (QRgb shadow : {at(300, top + 129), at(592, top + 60)}) {
            EXPECT_NE(shadow, kWhite);
            EXPECT_NE(shadow, kField);
            EXPECT_GT(qBlue(shadow), qGreen(shadow)) << "lilac-grey";
        }
    }
}

TEST_F(ArtworkTest, EveryPanelHasItsSquaresWhereTheControlsGo) {
    for (int panel = 0; panel < 3; ++panel) {
        expectSquare(32, kSwitchSquareTops[panel], 33);
        for (int column = 1; column <= 16; ++column)
            expectSquare(122 + 29 * (column - 1), kStepSquareTops[panel], 22);
    }
}

TEST_F(ArtworkTest, HeadingsAndNumbersAreLettered) {
    for (int panel = 0; panel < 3; ++panel) {
        EXPECT_GT(count({25, kPanelTops[panel] + 8, 90, 26}, kHeading), 60) << "heading " << panel;
        for (int column = 1; column <= 16; ++column) {
            const QRect above(122 + 29 * (column - 1) - 3, kStepSquareTops[panel] - 17, 28, 14);
            EXPECT_GT(above.width() * above.height() - count(above, kWhite), 10)
                << "number " << column;
        }
    }
}

// The browser controls and the effect path sit here; a heading reaching
// under them would show through their gaps.
TEST_F(ArtworkTest, TheEffectPanelIsPlainWhereTheBrowserSits) {
    const QRect browser(89, 298, 503, 67);
    EXPECT_EQ(count(browser, kWhite), browser.width() * browser.height());
}

TEST_F(ArtworkTest, IsDrawnSharpForADoubleDensityScreen) {
    const QImage sharp = renderBackground(2.0).toImage();
    EXPECT_EQ(sharp.size(), kBackgroundSize * 2);
    // The outline left of the first bass square: logical column 121.
    EXPECT_EQ(sharp.pixel(2 * 121 - 1, 2 * 120), kWhite);
    EXPECT_EQ(sharp.pixel(2 * 121, 2 * 120), kOutline);
    EXPECT_EQ(sharp.pixel(2 * 121 + 1, 2 * 120), kOutline)
        << "two device pixels, not a blurred one";
    EXPECT_EQ(sharp.pixel(2 * 122, 2 * 120), kWhite) << "the interior starts where the cell does";
}

TEST(IconTest, TwoSizesOfSixteenColourMonitorsWithATransparentSurround) {
    for (int size : {32, 16}) {
        const QImage icon = monitorIconImage(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        QSet<QRgb> used;
        int transparent = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QRgb pixel = icon.pixel(x, y);
                if (qAlpha(pixel) == 0) {
                    ++transparent;
                    continue;
                }
                ASSERT_EQ(qAlpha(pixel), 255) << "only fully opaque or fully clear pixels";
                ASSERT_TRUE(standardSixteenColours().contains(pixel)) << std::hex << pixel;
                used.insert(pixel);
            }
        }
        EXPECT_GT(transparent, size) << "the mask leaves the corners clear";
        EXPECT_EQ(qAlpha(icon.pixel(0, size - 1)), 0);
        for (QRgb colour :
             {qRgb(0, 0, 0), qRgb(0, 128, 0), qRgb(255, 255, 255), qRgb(128, 128, 128)}) {
            EXPECT_TRUE(used.contains(colour)) << size << ": " << std::hex << colour;
        }
    }
}

// The wave crosses the screen: white pixels in every screen column.
TEST(IconTest, TheSineWaveSpansTheScreen) {
    const QImage icon = monitorIconImage(32);
    int columnsWithWave = 0;
    for (int x = 4; x < 28; ++x) {
        for (int y = 6; y < 22; ++y) {
            if (icon.pixel(x, y) == qRgb(255, 255, 255)) {
                ++columnsWithWave;
                break;
            }
        }
    }
    EXPECT_EQ(columnsWithWave, 24);
}

}  // namespace
}  // namespace trovik
