// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/directory_reading.h"

#include <QDir>
#include <QDirIterator>
#include <algorithm>

namespace trovik {
namespace {

// QDir's own name filters and sorting cost several times as much on a folder
// of tens of thousands of files, so the names are matched and sorted here.
std::optional<QStringList> readNames(const QString& directory, QDir::Filters kind,
                                     const QString& suffix, const std::stop_token& stop) {
    const QDir dir(directory);
    // exists() and isReadable() tell an unreadable directory from an empty
    // one, which the iterator alone cannot.
    if (directory.isEmpty() || !dir.exists() || !dir.isReadable()) return std::nullopt;
    QStringList names;
    QDirIterator entries(directory, kind | QDir::NoDotAndDotDot);
    while (entries.hasNext() && !stop.stop_requested()) {
        entries.next();
        const QString name = entries.fileName();
        if (name.endsWith(suffix, Qt::CaseInsensitive)) names << name;
    }
    if (stop.stop_requested()) return std::nullopt;
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

}  // namespace

std::optional<QStringList> readSubdirectoryNames(const QString& directory,
                                                 const std::stop_token& stop) {
    return readNames(directory, QDir::Dirs, QString(), stop);
}

std::optional<QStringList> readWavFileNames(const QString& directory, const std::stop_token& stop) {
    return readNames(directory, QDir::Files, QStringLiteral(".wav"), stop);
}

}  // namespace trovik
