// The window as it opens: the controls, their places, looks and fonts.
#include <QAbstractButton>
#include <QFontInfo>
#include <QLineEdit>
#include <QScrollBar>
#include <set>

#include "window_fixture.h"

namespace trovik {
namespace {

using testing::WindowTest;
using LayoutTest = WindowTest;

QStringList numbered(const QString& stem, int first, int last) {
    QStringList names;
    for (int n = first; n <= last; ++n) names << stem + QString::number(n);
    return names;
}

TEST_F(LayoutTest, AllEightyFiveControlsExistUnderTheirNames) {
    QStringList names = numbered("Command", 1, 64) + numbered("Label", 1, 7) +
                        numbered("Text", 1, 4) + numbered("Timer", 1, 4);
    names << "Check1"
          << "HScroll1"
          << "VScroll1"
          << "Drive1"
          << "Dir1"
          << "File1";
    ASSERT_EQ(names.size(), 85);
    for (const QString& name : names)
        EXPECT_NE(form.findChild<QObject*>(name), nullptr) << name.toStdString();
}

TEST_F(LayoutTest, TheWindowHasAFixedSizeAndOnlyACloseButton) {
    EXPECT_EQ(form.minimumSize(), QSize(606, 429));
    EXPECT_EQ(form.maximumSize(), QSize(606, 429));
    EXPECT_EQ(form.windowTitle(), "Trovik beat maker");
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    const QList<QSize> iconSizes = form.windowIcon().availableSizes();
    EXPECT_TRUE(iconSizes.contains(QSize(16, 16)) && iconSizes.contains(QSize(32, 32)));
}

TEST_F(LayoutTest, ControlsOutsideTheGridsSitAtTheirPlaces) {
    const std::vector<std::pair<QString, QRect>> places{
        {"Label1", {0, 0, 200, 24}},     {"Command1", {200, 0, 49, 25}},
        {"Command2", {248, 0, 49, 25}},  {"VScroll1", {296, 0, 49, 25}},
        {"Label3", {354, 0, 81, 17}},    {"Label4", {441, 0, 53, 17}},
        {"Command51", {558, 0, 49, 25}}, {"Label2", {32, 72, 33, 33}},
        {"Check1", {210, 42, 49, 13}},   {"Text2", {299, 28, 124, 20}},
        {"Text1", {422, 28, 124, 20}},   {"Text3", {299, 48, 124, 20}},
        {"Text4", {423, 48, 123, 20}},   {"Command52", {545, 28, 42, 39}},
        {"Label5", {32, 208, 33, 33}},   {"HScroll1", {264, 208, 81, 17}},
        {"Label6", {32, 344, 33, 33}},   {"Drive1", {113, 300, 138, 21}},
        {"Dir1", {254, 300, 117, 62}},   {"File1", {374, 300, 100, 45}},
        {"Label7", {89, 335, 162, 17}}};
    for (const auto& [name, place] : places)
        EXPECT_EQ(find(name)->geometry(), place) << name.toStdString();
}

TEST_F(LayoutTest, SelectorRowsLieUnderTheLargeSquaresWithTheirFirstButtonMarked) {
    for (auto [first, top] : {std::pair{53, 116}, {57, 249}, {61, 386}}) {
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(command(first + k)->geometry(), QRect(20 + 24 * k, top, 24, 22)) << first + k;
        }
        EXPECT_EQ(captions(first, first + 3), QStringList({"-1-", "2", "3", "4"}));
    }
}

TEST_F(LayoutTest, OnlyTheFiveDesignedNeighbourPairsOverlap) {
    std::set<std::pair<QString, QString>> overlapping;
    const QList<QWidget*> controls = form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* a : controls) {
        for (QWidget* b : controls) {
            if (a->objectName() < b->objectName() && a->geometry().intersects(b->geometry())) {
                overlapping.insert({a->objectName(), b->objectName()});
            }
        }
    }
    const std::set<std::pair<QString, QString>> designed{{"Command1", "Command2"},
                                                         {"Command2", "VScroll1"},
                                                         {"Text1", "Text2"},
                                                         {"Command52", "Text1"},
                                                         {"Command52", "Text4"}};
    EXPECT_EQ(overlapping, designed);
    EXPECT_EQ(command(51)->geometry().right(), 606) << "Load reaches one pixel past the right edge";
}

TEST_F(LayoutTest, InitialTextsValuesAndVisibility) {
    EXPECT_EQ(label(1)->text(), "Trovik beat maker");
    EXPECT_EQ(find<QLineEdit>("Text1")->text(), "Beat name here");
    EXPECT_EQ(find<QLineEdit>("Text2")->text(), "Filename(*.tbk)");
    EXPECT_EQ(find<QLineEdit>("Text3")->text(), "Author");
    EXPECT_EQ(find<QLineEdit>("Text4")->text(), "Info");
    EXPECT_EQ(command(52)->text(), "Save");
    EXPECT_EQ(command(51)->text(), "Load");
    EXPECT_TRUE(label(7)->text().isEmpty());
    auto* position = find<QScrollBar>("HScroll1");
    EXPECT_EQ(std::tuple(position->minimum(), position->maximum(), position->value()),
              std::tuple(1, 16, 1));
    auto* tempo = find<QScrollBar>("VScroll1");
    EXPECT_EQ(std::tuple(tempo->minimum(), tempo->maximum()), std::tuple(0, 999));
    EXPECT_EQ(find<QTimer>("Timer3")->interval(), 1);
    form.show();
    for (QWidget* control : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const bool hidden =
            control->objectName() == "Check1" || control->objectName() == "HScroll1";
        EXPECT_EQ(control->isVisible(), !hidden) << control->objectName().toStdString();
        EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
    }
}

TEST_F(LayoutTest, ColoursOfTheTitleSwitchesAndDisplays) {
    form.show();
    EXPECT_EQ(label(1)->palette().color(QPalette::WindowText), QColor(0, 0, 192));
    EXPECT_EQ(label(1)->alignment(), Qt::AlignCenter);
    for (int n : {2, 5, 6}) {
        EXPECT_EQ(label(n)->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        EXPECT_FALSE(label(n)->autoFillBackground()) << "the painted square shows through";
        EXPECT_EQ(label(n)->alignment(), Qt::AlignCenter);
    }
    for (int n : {3, 4}) {
        EXPECT_TRUE(label(n)->autoFillBackground());
        EXPECT_EQ(label(n)->palette().color(QPalette::Window), QColor(Qt::white));
    }
}

struct FontCase {
    QStringList controls;
    int pixels;
    bool bold;
};

TEST_F(LayoutTest, FontsKeepTheDesignSizesInPixels) {
    const std::vector<FontCase> cases{
        {{"Label1"}, 16, false},
        {{"Label3", "Label4"}, 13, false},
        {{"Command1", "Command2", "Command51"}, 13, true},
        {{"Label2", "Label5", "Label6"}, 32, true},
        {numbered("Command", 3, 50), 16, true},
        {QStringList{"Command52", "Text1", "Text2", "Text3", "Text4", "Label7", "Check1"} +
             numbered("Command", 53, 64),
         11, false}};
    for (const FontCase& c : cases) {
        for (const QString& name : c.controls) {
            const QFont font = find(name)->font();
            EXPECT_EQ(font.pixelSize(), c.pixels) << name.toStdString();
            EXPECT_EQ(font.bold(), c.bold) << name.toStdString();
            EXPECT_FALSE(font.italic() || font.underline() || font.strikeOut())
                << name.toStdString();
        }
    }
}

// Tahoma and MS Sans Serif, or a face with their metrics; a wider fallback
// would push captions out of their controls.
TEST_F(LayoutTest, TheDesignFacesOrAMetricMatchAreInstalled) {
    const QStringList acceptable{"Tahoma", "MS Sans Serif", "Liberation Sans", "Arimo"};
    for (const char* name : {"Label1", "Command1", "Command3", "Label2", "Text1"}) {
        const QString family = QFontInfo(find(name)->font()).family();
        EXPECT_TRUE(acceptable.contains(family)) << name << " is drawn in " << family.toStdString();
    }
}

// Every caption the window can show, at its widest, within its control.
TEST_F(LayoutTest, EveryCaptionFitsItsControl) {
    const std::vector<std::pair<QString, QStringList>> texts{
        {"Label1", {"Trovik beat maker"}},
        {"Label3", {"Tempo-300", "Tempo: 1000", "Tempo: 888"}},
        {"Label4", {"Bar-1", "Bar- 16", "Bar- 8"}},
        {"Command1", {"Play"}},
        {"Command2", {"Stop"}},
        {"Command51", {"Load"}},
        {"Command52", {"Save"}},
        {"Command53", {"-1-", "1"}},
        {"Command56", {"-4-", "4"}},
        {"Command3", {"O"}},
        {"Label2", {"O"}},
        {"Text2", {"Filename(*.tbk)"}},
        {"Text1", {"Beat name here"}}};
    for (const auto& [name, candidates] : texts) {
        QWidget* control = find(name);
        const QFontMetrics metrics(control->font());
        for (const QString& text : candidates) {
            EXPECT_LE(metrics.horizontalAdvance(text), control->width() - 4)
                << name.toStdString() << " " << text.toStdString();
            EXPECT_LE(metrics.tightBoundingRect(text).height(), control->height())
                << name.toStdString();
        }
    }
}

// Renders a cell with its "O" and finds the glyph's ink.
TEST_F(LayoutTest, TheOnMarkerIsCentredInItsCell) {
    form.show();
    QPushButton* cell = command(20);
    cell->setText("O");
    const QImage image = cell->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect inside = QRect(QPoint(0, 0), image.size()).adjusted(3, 3, -3, -3);
    QRect ink;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 100) ink |= QRect(x, y, 1, 1);
        }
    }
    ASSERT_FALSE(ink.isEmpty());
    const QPointF centre = QRectF(ink).center() / image.devicePixelRatio();
    EXPECT_NEAR(centre.x(), 11.0, 1.0);
    EXPECT_NEAR(centre.y(), 11.0, 1.5);
}

}  // namespace
}  // namespace trovik
