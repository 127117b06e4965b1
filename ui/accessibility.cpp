// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include "sequencer/track.h"
#include "ui/switch_colour.h"

namespace trovik {
namespace {

// Marks the controls whose on/off state lives in a caption or a colour.
constexpr char kToggleKind[] = "trovikToggleKind";
constexpr char kCellKind[] = "cell";
constexpr char kSwitchKind[] = "switch";

bool isToggleOn(const QWidget& widget) {
    if (widget.property(kToggleKind).toString() == QLatin1String(kSwitchKind)) {
        return switchColour(static_cast<const QLabel&>(widget)) == kSwitchSounds;
    }
    return !static_cast<const QAbstractButton&>(widget).text().isEmpty();
}

class ToggleAccessible : public QAccessibleWidget {
  public:
    explicit ToggleAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::CheckBox) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = isToggleOn(*widget());
        return state;
    }

    QStringList actionNames() const override {
        return QAccessibleWidget::actionNames() << QAccessibleActionInterface::toggleAction();
    }

    void doAction(const QString& action) override {
        if (action != QAccessibleActionInterface::toggleAction()) {
            QAccessibleWidget::doAction(action);
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget())) {
            button->click();
        } else {
            QMetaObject::invokeMethod(widget(), "clicked");
        }
    }
};

QAccessibleInterface* toggleFactory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget || !widget->property(kToggleKind).isValid()) return nullptr;
    return new ToggleAccessible(widget);
}

QString trackName(Track track) {
    switch (track) {
        case Track::Bass:
            return QStringLiteral("Bass");
        case Track::Snare:
            return QStringLiteral("Snare");
        case Track::Effect:
            return QStringLiteral("Effect");
    }
    return {};
}

void announceStateChange(QWidget* widget) {
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(widget, changed);
    QAccessible::updateAccessibility(&event);
}

template <typename Control>
void describeToggle(Control* control, const char* kind, const QString& name) {
    control->setProperty(kToggleKind, QString::fromLatin1(kind));
    control->setAccessibleName(name);
    // Connected after the click handlers, so the new state is in place.
    QObject::connect(control, &Control::clicked, control,
                     [control] { announceStateChange(control); });
}

void describeCellsAndSwitches(const FormControls& c) {
    const std::array<ClickableLabel*, 3> switches{c.Label2, c.Label5, c.Label6};
    for (Track track : kTracksInPlayOrder) {
        for (int step = 1; step <= kSteps; ++step) {
            describeToggle(c.Command[cellNumber(track, step)], kCellKind,
                           QStringLiteral("%1 step %2").arg(trackName(track)).arg(step));
        }
        describeToggle(switches[static_cast<std::size_t>(track)], kSwitchKind,
                       trackName(track) + QStringLiteral(" track switch"));
    }
}

void describeSelectorRows(const FormControls& c) {
    for (Track track : kTracksInPlayOrder) {
        const int first = 53 + 4 * static_cast<int>(track);
        for (int k = 0; k < 4; ++k) {
            c.Command[first + k]->setAccessibleName(
                QStringLiteral("%1 selector %2").arg(trackName(track)).arg(k + 1));
        }
    }
}

void describeTransportAndTexts(const FormControls& c) {
    c.Command[1]->setAccessibleName(QStringLiteral("Play"));
    c.Command[2]->setAccessibleName(QStringLiteral("Stop"));
    c.Command[51]->setAccessibleName(QStringLiteral("Load"));
    c.Command[52]->setAccessibleName(QStringLiteral("Save"));
    c.VScroll1->setAccessibleName(QStringLiteral("Tempo"));
    c.VScroll1->setAccessibleDescription(
        QStringLiteral("Step interval in milliseconds; up plays faster"));
    c.Label3->setAccessibleDescription(QStringLiteral("Tempo display"));
    c.Label4->setAccessibleDescription(QStringLiteral("Bar display"));
    c.Label7->setAccessibleDescription(QStringLiteral("Effect sample"));
    c.Text[1]->setAccessibleName(QStringLiteral("Beat name"));
    c.Text[2]->setAccessibleName(QStringLiteral("File name"));
    c.Text[3]->setAccessibleName(QStringLiteral("Author"));
    c.Text[4]->setAccessibleName(QStringLiteral("Info"));
    if (c.Drive1) c.Drive1->setAccessibleName(QStringLiteral("Effect sample drive"));
    if (c.Dir1) c.Dir1->setAccessibleName(QStringLiteral("Effect sample folder"));
    if (c.File1) c.File1->setAccessibleName(QStringLiteral("Effect sample file"));
}

}  // namespace

void installAccessibleToggles() {
    QAccessible::installFactory(toggleFactory);
}

void describeForAssistiveTechnology(const FormControls& c) {
    describeCellsAndSwitches(c);
    describeSelectorRows(c);
    describeTransportAndTexts(c);
}

}  // namespace trovik
