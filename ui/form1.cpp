// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form1.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <chrono>

#include "ui/accessibility.h"
#include "ui/app_icon.h"
#include "ui/app_identity.h"
#include "ui/background.h"
#include "ui/form_fonts.h"
#include "ui/selector.h"
#include "ui/switch_colour.h"
#include "ui/tab_order.h"

namespace trovik {
namespace {

// Where the frame's top left goes so that the whole frame of `frameSize` is
// centred in `area`.
QPoint centredFramePosition(const QRect& area, const QSize& frameSize) {
    return {area.left() + (area.width() - frameSize.width()) / 2,
            area.top() + (area.height() - frameSize.height()) / 2};
}

ClickableLabel* switchOf(const FormControls& c, Track track) {
    switch (track) {
        case Track::Bass:
            return c.Label2;
        case Track::Snare:
            return c.Label5;
        case Track::Effect:
            return c.Label6;
    }
    return nullptr;
}

// A position estimate that came and went without a step: look again soon,
// but never spin.
constexpr std::chrono::milliseconds kStepLookAgain{5};
// The audio thread's blocks come a little late now and then; a look that
// waits for them that much more finds the step taken.
constexpr std::chrono::milliseconds kStepCallbackJitter{2};
constexpr std::chrono::milliseconds kStepLookAtMost{1000};
constexpr std::chrono::milliseconds kStepOverdue{50};

}  // namespace

Form1::Form1(BeatModel& beat, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      c_(createFormControls(*this)),
      beat_(beat),
      sampleBrowser_({*c_.Drive1, *c_.Dir1, *c_.File1}),
      beatFileDialogs_(*this),
      beatFiles_({*c_.Text[1], *c_.Text[2], *c_.Text[3], *c_.Text[4], beat_}, beatFileDialogs_) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kWindowCaption);
    setWindowIcon(applicationIcon());
    setFixedSize(kWidth, kHeight);
    setFont(defaultControlFont());
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::white);
    setPalette(background);
    timer2_.setParent(this);
    timer2_.setObjectName(QStringLiteral("Timer2"));
    timer2_.setSingleShot(true);
    timer2_.setTimerType(Qt::PreciseTimer);
    timer3_.setParent(this);
    timer3_.setObjectName(QStringLiteral("Timer3"));
    timer3_.setInterval(1);
    wireEvents();
    bindModel();
    wireSelector();
    describeForAssistiveTechnology(c_);
    applyTabOrder(*this);
    Timer2_Timer();
}

void Form1::wireEvents() {
    for (int n = kFirstCellNumber; n <= kLastCellNumber; ++n) {
        connect(c_.Command[n], &QPushButton::clicked, this, [this, n] { beat_.StepCell_Click(n); });
    }
    for (Track track : kTracksInPlayOrder) {
        connect(switchOf(c_, track), &ClickableLabel::clicked, this,
                [this, track] { beat_.TrackSwitch_Click(track); });
    }
    connect(c_.Command[1], &QPushButton::clicked, this, [this] { beat_.Command1_Click(); });
    connect(c_.Command[2], &QPushButton::clicked, this, [this] { beat_.Command2_Click(); });
    connect(c_.VScroll1, &QScrollBar::valueChanged, this,
            [this](int value) { beat_.setInterval(value); });
    connect(c_.Command[51], &QPushButton::clicked, this, [this] { beatFiles_.Command51_Click(); });
    connect(c_.Command[52], &QPushButton::clicked, this, [this] { beatFiles_.Command52_Click(); });
    connect(&timer2_, &QTimer::timeout, this, [this] { followSteps(); });
    connect(c_.Drive1, &DriveListBox::Change, this, [this] { sampleBrowser_.Drive1_Change(); });
    connect(c_.File1, &FileListBox::Click, this, [this] { sampleBrowser_.File1_Click(); });
    connect(&sampleBrowser_, &SampleBrowser::samplePicked, &beat_, &BeatModel::setEffectPath);
}

// The controls show what the model holds: every change of the model, by a
// handler here or by Load, reaches the control that shows it.
void Form1::bindModel() {
    connect(&beat_, &BeatModel::cellChanged, this,
            [this](int number) { c_.Command[number]->setText(beat_.caption(number)); });
    connect(&beat_, &BeatModel::switchChanged, this, [this](Track track) {
        setSwitchColour(*switchOf(c_, track), beat_.sounds(track) ? kSwitchSounds : kSwitchMuted);
    });
    connect(&beat_, &BeatModel::transportChanged, this, [this] {
        c_.Check1->setCheckState(beat_.running() ? Qt::Checked : Qt::Unchecked);
        c_.VScroll1->setValue(beat_.interval());
        Timer2_Timer();
    });
    connect(&beat_, &BeatModel::positionChanged, this, [this] { Timer2_Timer(); });
    c_.Label7->setText(beat_.effectPath());
    connect(&beat_, &BeatModel::effectPathChanged, c_.Label7, &QLabel::setText);
}

void Form1::Timer2_Timer() {
    const int position = beat_.position();
    c_.HScroll1->setValue(position);
    c_.Label4->setText(barText(position));
    c_.Label3->setText(tempoText(beat_.interval()));
    const auto untilStep = beat_.untilNextStep();
    if (!untilStep) {
        timer2_.stop();
        return;
    }
    // Long overdue: the stream stands still for now.
    const auto wait = *untilStep < -kStepOverdue
                          ? kStepOverdue
                          : std::clamp(std::chrono::ceil<std::chrono::milliseconds>(*untilStep) +
                                           kStepCallbackJitter,
                                       kStepLookAgain, kStepLookAtMost);
    timer2_.start(wait);
}

// The step clock moves the position on its own thread; the display follows
// when it is due to move.
void Form1::followSteps() {
    beat_.followPosition();  // refreshes the displays when it moved
    if (!timer2_.isActive()) Timer2_Timer();
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
