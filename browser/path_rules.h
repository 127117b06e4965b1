// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

namespace trovik {

// The separator of this platform's paths: "\" on Windows, "/" elsewhere.
QChar nativeSeparator();

// The process's working directory, written with native separators.
QString workingDirectory();

// Joins a directory and a file name with exactly one separator. A root
// directory already ends in one, so nothing is added there; any other
// directory, and an empty one, gets one.
QString joinPath(const QString& directory, const QString& name,
                 QChar separator = nativeSeparator());

// True when `path` is `root` itself or lies below it.
bool isAtOrBelow(const QString& path, const QString& root, QChar separator = nativeSeparator());

// The directories from `root` down to `path`, both included, each as a full
// path. A `path` outside `root` gives just `path`.
QStringList pathChain(const QString& root, const QString& path,
                      QChar separator = nativeSeparator());

}  // namespace trovik
