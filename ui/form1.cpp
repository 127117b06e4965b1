#include "ui/form1.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "ui/accessibility.h"
#include "ui/app_icon.h"
#include "ui/app_identity.h"
#include "ui/background.h"
#include "ui/form_fonts.h"
#include "ui/selector.h"
#include "ui/tab_order.h"

namespace trovik {
namespace {

BeatPattern patternOf(const FormControls& c) {
    std::array<QAbstractButton*, kCellCount> cells{};
    for (int n = kFirstCellNumber; n <= kLastCellNumber; ++n)
        cells[n - kFirstCellNumber] = c.Command[n];
    return BeatPattern(cells, {c.Label2, c.Label5, c.Label6});
}

// Where the frame's top left goes so that the whole frame of `frameSize` is
// centred in `area`.
QPoint centredFramePosition(const QRect& area, const QSize& frameSize) {
    return {area.left() + (area.width() - frameSize.width()) / 2,
            area.top() + (area.height() - frameSize.height()) / 2};
}

}  // namespace

Form1::Form1(SamplePlayer& player, QWidget* parent) : Form1(player, FormClocks(), parent) {}

Form1::Form1(SamplePlayer& player, const TimerClock& clock, QWidget* parent)
    : Form1(player, FormClocks{&clock, &clock}, parent) {}

Form1::Form1(SamplePlayer& player, FormClocks clocks, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      c_(createFormControls(*this)),
      timer1_(QStringLiteral("Timer1"), 200, Qt::PreciseTimer,
              clocks.steps ? *clocks.steps : steadyClock_, this),
      timer2_(QStringLiteral("Timer2"), kWatchPeriodMs, Qt::PreciseTimer,
              clocks.watchers ? *clocks.watchers : steadyClock_, this),
      pattern_(patternOf(c_)),
      stepClock_(pattern_, *c_.HScroll1, *c_.Label7, player, timer1_),
      transport_({*c_.Check1, *c_.HScroll1, *c_.VScroll1, timer1_, *c_.Label3, *c_.Label4}),
      sampleBrowser_({*c_.Drive1, *c_.Dir1, *c_.File1, *c_.Label7}),
      beatFileDialogs_(*this),
      beatFiles_({*c_.Text[1], *c_.Text[2], *c_.Text[3], *c_.Text[4], *c_.VScroll1, *c_.HScroll1,
                  pattern_},
                 beatFileDialogs_) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kWindowCaption);
    setWindowIcon(applicationIcon());
    setFixedSize(kWidth, kHeight);
    setFont(defaultControlFont());
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::white);
    setPalette(background);
    timer3_.setParent(this);
    timer3_.setObjectName(QStringLiteral("Timer3"));
    timer3_.setInterval(1);
    wireEvents();
    wireSelector();
    describeForAssistiveTechnology(c_);
    applyTabOrder(*this);
}

void Form1::wireEvents() {
    for (int n = kFirstCellNumber; n <= kLastCellNumber; ++n) {
        QPushButton* cell = c_.Command[n];
        connect(cell, &QPushButton::clicked, this, [cell] { StepCell_Click(*cell); });
    }
    for (ClickableLabel* trackSwitch : {c_.Label2, c_.Label5, c_.Label6}) {
        connect(trackSwitch, &ClickableLabel::clicked, this,
                [trackSwitch] { TrackSwitch_Click(*trackSwitch); });
    }
    // The monitor also runs at once after Play, Stop and every tempo change, so
    // the clock and the displays follow those without waiting for its tick.
    connect(c_.Command[1], &QPushButton::clicked, this, [this] {
        transport_.Command1_Click();
        transport_.Timer2_Timer();
    });
    connect(c_.Command[2], &QPushButton::clicked, this, [this] {
        transport_.Command2_Click();
        transport_.Timer2_Timer();
    });
    connect(c_.VScroll1, &QScrollBar::valueChanged, this, [this] { transport_.Timer2_Timer(); });
    connect(c_.Command[51], &QPushButton::clicked, this, [this] { beatFiles_.Command51_Click(); });
    connect(c_.Command[52], &QPushButton::clicked, this, [this] { beatFiles_.Command52_Click(); });
    connect(&timer1_, &ControlTimer::timeout, this, [this] { stepClock_.Timer1_Timer(); });
    connect(&timer2_, &ControlTimer::timeout, this, [this] { transport_.Timer2_Timer(); });
    connect(c_.Drive1, &DriveListBox::Change, this, [this] { sampleBrowser_.Drive1_Change(); });
    connect(c_.File1, &FileListBox::Click, this, [this] { sampleBrowser_.File1_Click(); });
}

// Command53 to Command56 share one handler; the two selector rows below
// them have none.
void Form1::wireSelector() {
    const SelectorRow row{c_.Command[53], c_.Command[54], c_.Command[55], c_.Command[56]};
    for (int k = 0; k < 4; ++k) {
        connect(row[static_cast<std::size_t>(k)], &QPushButton::clicked, this,
                [row, k] { Selector_Click(row, k); });
    }
}

void Form1::showCentred() {
    centre();
    show();
    centring_ = true;
    centre();  // the frame is known once the window is on the screen
}

// A window manager frames the window some time after it is shown; the window
// is centred again for the frame's size as soon as that is known, and left
// where the user puts it after that.
void Form1::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (centring_ && frameGeometry().size() != centredFrame_) centre();
}

void Form1::centre() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    centredFrame_ = frameGeometry().size();
    if (centredFrame_ != size()) centring_ = false;  // framed: this is the final size
    move(centredFramePosition(screen->availableGeometry(), centredFrame_));
}

void Form1::paintEvent(QPaintEvent*) {
    if (background_.isNull() || background_.devicePixelRatio() != devicePixelRatioF()) {
        background_ = renderBackground(devicePixelRatioF());
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, background_);
}

}  // namespace trovik
