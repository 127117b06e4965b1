// SPDX-License-Identifier: GPL-3.0-or-later
#include "beatfile/beat_file_storage.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace trovik {
namespace {

// Qt reads a name starting with ':' as one of its built-in resources; the
// user means the file of that name in the working folder.
QString onDisk(const QString& fileName) {
    return fileName.startsWith(u':') ? QStringLiteral("./") + fileName : fileName;
}

// Opens `file` on `fileName` only when that is a plain file. A named pipe, a
// device, a socket or a folder is refused before a byte moves: a pipe would
// wait for a writer and a device may never end. The name is opened without
// waiting and the opened descriptor is checked, so a name swapped for a pipe
// after some earlier look cannot make the interface wait either.
bool openPlainFile(QFile& file, const QString& fileName, QIODevice::OpenMode mode) {
#ifdef Q_OS_UNIX
    const int access = mode.testFlag(QIODevice::WriteOnly) ? O_WRONLY : O_RDONLY;
    const int descriptor =
        ::open(QFile::encodeName(fileName).constData(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) return false;
    struct stat facts {};
    if (::fstat(descriptor, &facts) != 0 || !S_ISREG(facts.st_mode) ||
        !file.open(descriptor, mode, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return false;
    }
    return true;
#else
    file.setFileName(fileName);
    return QFileInfo(fileName).isFile() && file.open(mode);
#endif
}

bool writeWhole(QFileDevice& file, const QByteArray& bytes) {
    return file.write(bytes) == bytes.size() && file.flush();
}

// The folder takes no new file, so the existing file is emptied and written.
bool writeInPlace(const QString& fileName, const QByteArray& bytes) {
    QFile file;
    return openPlainFile(file, fileName, QIODevice::WriteOnly) && file.resize(0) &&
           writeWhole(file, bytes);
}

}  // namespace

bool saveBeatFileBytes(const QString& fileName, const QByteArray& bytes) {
    const QString name = onDisk(fileName);
    const QFileInfo existing(name);
    if (existing.exists() && !existing.isFile()) return false;
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly)) return existing.exists() && writeInPlace(name, bytes);
    // commit() has been seen to report success on a full disk while the bytes
    // were still in its buffer, leaving an empty file: every byte must have
    // reached the file before the rename.
    if (!writeWhole(file, bytes)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

std::optional<QByteArray> loadBeatFileBytes(const QString& fileName) {
    QFile file;
    if (!openPlainFile(file, onDisk(fileName), QIODevice::ReadOnly)) return std::nullopt;
    QByteArray bytes = file.read(kLongestBeatFile);
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return bytes;
}

}  // namespace trovik
