// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>
#include <array>

namespace trovik {

// The four buttons of the bass panel's selector, Command53 to Command56.
using SelectorRow = std::array<QAbstractButton*, 4>;

// Click handler of every selector button: the clicked one (0 to 3, from the
// left) shows its number between hyphens, the other three their bare number.
// The selection is only shown; nothing else reads it.
void Selector_Click(const SelectorRow& row, int clicked);

}  // namespace trovik
