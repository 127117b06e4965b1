// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <stop_token>

namespace trovik {

// The lists read a directory through these. Names only, sorted without
// regard to letter case, hidden and system entries left out. std::nullopt
// means the directory cannot be read: it is gone, is no directory, or may
// not be listed. Once `stop` is requested they give up early, with a
// result nobody may use.
std::optional<QStringList> readSubdirectoryNames(const QString& directory,
                                                 const std::stop_token& stop = {});
std::optional<QStringList> readWavFileNames(const QString& directory,
                                            const std::stop_token& stop = {});

// Which directory a list shows, which one it is reading to show next, and
// which one it was last asked for but could not read. A list asked for the
// directory it shows or is reading, or for the one that failed, does
// nothing: the sync timer asks again for the same path, so that must cost
// no disk access, and a directory that failed is not tried again until
// something else was asked for in between.
class PathMemory {
  public:
    bool remembers(const QString& path) const { return path == wanted() || path == unreadable_; }
    const QString& shown() const { return shown_; }
    bool reading() const { return reading_.has_value(); }
    // The directory the list shows once the reading under way is done.
    const QString& wanted() const { return reading_ ? *reading_ : shown_; }

    void rememberReading(const QString& path) {
        reading_ = path;
        unreadable_.clear();
    }
    void forgetReading() { reading_.reset(); }
    void rememberShown(const QString& path) {
        shown_ = path;
        reading_.reset();
        unreadable_.clear();
    }
    void rememberUnreadable(const QString& path) {
        unreadable_ = path;
        reading_.reset();
    }

  private:
    QString shown_;
    std::optional<QString> reading_;
    QString unreadable_;
};

}  // namespace trovik
