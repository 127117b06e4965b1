// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/path_rules.h"

#include <QDir>

namespace trovik {

QChar nativeSeparator() {
    return QDir::separator();
}

QString workingDirectory() {
    return QDir::toNativeSeparators(QDir::cleanPath(QDir::currentPath()));
}

QString joinPath(const QString& directory, const QString& name, QChar separator) {
    if (directory.endsWith(separator)) return directory + name;
    return directory + separator + name;
}

bool isAtOrBelow(const QString& path, const QString& root, QChar separator) {
    if (root.isEmpty() || !path.startsWith(root)) return false;
    return path.size() == root.size() || root.endsWith(separator) ||
           path.at(root.size()) == separator;
}

QStringList pathChain(const QString& root, const QString& path, QChar separator) {
    if (!isAtOrBelow(path, root, separator)) return {path};
    QStringList chain{root};
    const QStringList names = path.mid(root.size()).split(separator, Qt::SkipEmptyParts);
    for (const QString& name : names) chain << joinPath(chain.last(), name, separator);
    return chain;
}

}  // namespace trovik
