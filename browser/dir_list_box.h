// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QListWidget>

#include "browser/directory_reader.h"
#include "browser/directory_reading.h"

namespace trovik {

// A list of directories: the open path from its drive's root down to the
// current directory, and below that the current directory's subdirectories.
// Double-click or Enter opens the entry under the cursor. It starts on the
// working directory.
//
// A directory is read on a worker thread; the list goes on showing the
// previous one until the reading is done, and then shows the new one all at
// once. Only the directory asked for last is ever shown.
class DirListBox : public QListWidget {
    Q_OBJECT

  public:
    // `readNames` lists a directory's subdirectories, on a worker thread.
    explicit DirListBox(QWidget* parent = nullptr,
                        DirectoryReader::ReadNames readNames = readSubdirectoryNames);

    // The directory the list shows. A drive's root ends in a separator, any
    // other directory does not. It changes when the new directory's reading
    // is done, never on setPath itself; empty until the first one is done.
    QString Path() const { return memory_.shown(); }

    // Opens `path` and returns at once; the list shows it once it has been
    // read. A drive designator (the root of the drive the list is on, or is
    // about to be on) keeps the directory. A directory that cannot be read
    // leaves the list as it is.
    void setPath(const QString& path);

    // Whether a directory is being read to be shown next.
    bool isReading() const { return memory_.reading(); }

    // The full path of the entry at `row`, from the drive's root at row 0;
    // empty outside the list.
    QString List(int row) const;

  signals:
    // The list shows another directory: Path has changed.
    void Change();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void open(const QString& path, const QString& driveRoot);
    void dropReading();
    void showListing(const QString& path, const std::optional<QStringList>& subdirectories);
    void fillEntries(const QString& path, const QStringList& subdirectories);
    void openEntry(const QListWidgetItem* entry);

    PathMemory memory_;
    QString driveRoot_;        // the top of the list: the drive the list is on
    QString wantedDriveRoot_;  // the drive of the directory being read, else driveRoot_
    DirectoryReader reader_;   // last, so that it goes first, before what it fills
};

}  // namespace trovik
