#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace trovik {

// The lists read a directory through these. Names only, sorted without
// regard to letter case, hidden and system entries left out. std::nullopt
// means the directory cannot be read: it is gone, is no directory, or may
// not be listed.
std::optional<QStringList> readSubdirectoryNames(const QString& directory);
std::optional<QStringList> readWavFileNames(const QString& directory);

// Which directory a list shows and which one it was last asked for but could
// not read. A list asked for either again does nothing: the sync timer asks
// for the same path on every tick, so that must cost no disk access, and
// a directory that failed is not tried again until something else was asked
// for in between.
class PathMemory {
  public:
    bool remembers(const QString& path) const { return path == shown_ || path == unreadable_; }
    const QString& shown() const { return shown_; }
    void rememberShown(const QString& path) {
        shown_ = path;
        unreadable_.clear();
    }
    void rememberUnreadable(const QString& path) { unreadable_ = path; }

  private:
    QString shown_;
    QString unreadable_;
};

}  // namespace trovik
