// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/selector.h"

namespace trovik {

void Selector_Click(const SelectorRow& row, int clicked) {
    for (int k = 0; k < static_cast<int>(row.size()); ++k) {
        const QString number = QString::number(k + 1);
        row[static_cast<std::size_t>(k)]->setText(k == clicked ? QStringLiteral("-%1-").arg(number)
                                                               : number);
    }
}

}  // namespace trovik
