#include "form1.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "background.h"

namespace trovik {
namespace {

BeatPattern patternOf(const FormControls& c) {
    std::array<QAbstractButton*, kCellCount> cells{};
    for (int n = kFirstCellNumber; n <= kLastCellNumber; ++n) cells[n - kFirstCellNumber] = c.Command[n];
    return BeatPattern(cells, {c.Label2, c.Label5, c.Label6});
}

}  // namespace

Form1::Form1(SamplePlayer& player, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      c_(createFormControls(*this)),
      timer1_(QStringLiteral("Timer1"), 200, Qt::PreciseTimer, this),
      timer2_(QStringLiteral("Timer2"), 1, Qt::PreciseTimer, this),
      pattern_(patternOf(c_)),
      stepClock_(pattern_, *c_.HScroll1, *c_.Label7, player),
      transport_({*c_.Check1, *c_.HScroll1, *c_.VScroll1, timer1_, *c_.Label3, *c_.Label4}) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Trovik beat maker"));
    setFixedSize(kWidth, kHeight);
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::white);
    setPalette(background);
    wireEvents();
}

void Form1::wireEvents() {
    for (int n = kFirstCellNumber; n <= kLastCellNumber; ++n) {
        QPushButton* cell = c_.Command[n];
        connect(cell, &QPushButton::clicked, this, [cell] { StepCell_Click(*cell); });
    }
    for (ClickableLabel* trackSwitch : {c_.Label2, c_.Label5, c_.Label6}) {
        connect(trackSwitch, &ClickableLabel::clicked, this, [trackSwitch] { TrackSwitch_Click(*trackSwitch); });
    }
    connect(c_.Command[1], &QPushButton::clicked, this, [this] { transport_.Command1_Click(); });
    connect(c_.Command[2], &QPushButton::clicked, this, [this] { transport_.Command2_Click(); });
    connect(&timer1_, &ControlTimer::timeout, this, [this] { stepClock_.Timer1_Timer(); });
    connect(&timer2_, &ControlTimer::timeout, this, [this] { transport_.Timer2_Timer(); });
}

void Form1::showCentred() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
    }
    show();
}

void Form1::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintBackground(painter);
}

}  // namespace trovik
