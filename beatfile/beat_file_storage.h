#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace trovik {

// Replaces the file's content with `bytes`. A failure leaves an existing file
// as it was, except where its folder takes no new files: the file is then
// written in place and a failed write can leave it cut short.
bool saveBeatFileBytes(const QString& fileName, const QByteArray& bytes);

// The whole content of the file, or nothing when it cannot be read.
std::optional<QByteArray> loadBeatFileBytes(const QString& fileName);

}  // namespace trovik
