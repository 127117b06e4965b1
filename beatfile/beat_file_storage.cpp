#include "beat_file_storage.h"

#include <QFile>
#include <QSaveFile>

namespace trovik {
namespace {

// Qt reads a name starting with ':' as one of its built-in resources; the
// user means the file of that name in the working folder.
QString onDisk(const QString& fileName) {
    return fileName.startsWith(u':') ? QStringLiteral("./") + fileName : fileName;
}

}  // namespace

bool saveBeatFileBytes(const QString& fileName, const QByteArray& bytes) {
    QSaveFile file(onDisk(fileName));
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) return false;
    // commit() has been seen to report success on a full disk while the bytes
    // were still in its buffer, leaving an empty file: every byte must have
    // reached the file before the rename.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

std::optional<QByteArray> loadBeatFileBytes(const QString& fileName) {
    QFile file(onDisk(fileName));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    // Only the start of the file is ever looked at, so an endless or huge
    // file (a device, a wrong pick) costs a bounded read, not a hang.
    constexpr qint64 kLongestBeatFile = 16 << 20;
    QByteArray bytes = file.read(kLongestBeatFile);
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return bytes;
}

}  // namespace trovik
