// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/tab_order.h"

namespace trovik {
namespace {

QStringList numbered(const QString& stem, int first, int last) {
    QStringList names;
    for (int n = first; n <= last; ++n) names << stem + QString::number(n);
    return names;
}

bool takesTabFocus(const QWidget& control) {
    return (control.focusPolicy() & Qt::TabFocus) != 0;
}

}  // namespace

QStringList tabIndexOrder() {
    QStringList order{"Label1", "Label2", "Command1", "Command2", "VScroll1",
                      "Label3", "Label4", "HScroll1", "Label5",   "Label6"};
    order << numbered("Command", 3, 18) << "Check1" << numbered("Command", 19, 50);
    order += QStringList{"Command51", "Command52", "Text1", "Text2", "Text3",
                         "Text4",     "Drive1",    "Dir1",  "File1", "Label7"};
    order << numbered("Command", 53, 64);
    return order;
}

// Looked up by name, so controls added to the window later join the chain
// as soon as they exist.
void applyTabOrder(QWidget& form) {
    QWidget* previous = nullptr;
    QWidget* first = nullptr;
    for (const QString& name : tabIndexOrder()) {
        QWidget* control = form.findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
        if (!control || !takesTabFocus(*control)) continue;
        if (previous) QWidget::setTabOrder(previous, control);
        if (!first && !control->isHidden()) first = control;
        previous = control;
    }
    if (first) first->setFocus();
}

}  // namespace trovik
