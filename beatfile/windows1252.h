// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

namespace trovik {

// Beat files are Windows-1252 on every system, so a file written on one
// system reads the same on another. The five bytes the code page leaves
// unassigned (81, 8D, 8F, 90, 9D) map to the control characters of the same
// number, as Windows does, so every byte reads back and writes back unchanged.

// Nothing when the text holds a character the code page has no byte for.
std::optional<QByteArray> toWindows1252(QStringView text);
QString fromWindows1252(QByteArrayView bytes);

}  // namespace trovik
