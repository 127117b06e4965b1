// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace trovik {

// Replaces the file's content with `bytes`. A failure leaves an existing file
// as it was, except where its folder takes no new files: the file is then
// written in place and a failed write can leave it cut short. A name that is
// not a plain file (a named pipe, a device, a socket, a folder) is refused
// and left as it is.
bool saveBeatFileBytes(const QString& fileName, const QByteArray& bytes);

// Only the start of a file is ever looked at, so a huge file (a wrong pick)
// costs a bounded read.
constexpr qint64 kLongestBeatFile = 16 << 20;

// The content of the file up to kLongestBeatFile bytes, or nothing when it
// cannot be read or is not a plain file. Never waits: a named pipe is
// refused, not read.
std::optional<QByteArray> loadBeatFileBytes(const QString& fileName);

}  // namespace trovik
