// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QWidget>

namespace trovik {

// Every control of the window by name, in the order its tab indices give.
// Labels and hidden controls are listed too; the keyboard focus passes them by.
QStringList tabIndexOrder();

// Chains the window's controls that exist, in tab index order, and puts the
// focus on the first one that takes it.
void applyTabOrder(QWidget& form);

}  // namespace trovik
