// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QListView>
#include <QStringListModel>

#include "browser/directory_reader.h"
#include "browser/directory_reading.h"

namespace trovik {

// A list of the "*.wav" files of one directory, names only, sorted without
// regard to letter case, hidden and system files left out. It starts on the
// working directory.
//
// A directory is read on a worker thread; the list goes on showing the
// previous one's files until the reading is done, and then shows the new
// ones all at once. Only the directory asked for last is ever listed. The
// names sit in a plain string model, so a folder of many thousand files
// shows at once.
class FileListBox : public QListView {
    Q_OBJECT

  public:
    // `readNames` lists a directory's WAV files, on a worker thread.
    explicit FileListBox(QWidget* parent = nullptr,
                         DirectoryReader::ReadNames readNames = readWavFileNames);

    // The directory whose files are listed. It changes when the new
    // directory's reading is done, never on setPath itself; empty until the
    // first one is done.
    QString Path() const { return memory_.shown(); }

    // Lists the files of `path` and returns at once; they show once the
    // directory has been read. The path the list already shows changes
    // nothing, not even the selection; a directory that cannot be read
    // leaves the list as it is.
    void setPath(const QString& path);

    // Whether a directory is being read to be listed next.
    bool isReading() const { return memory_.reading(); }

    // How many names the list shows.
    int count() const { return names_.rowCount(); }
    // The name at `index`; empty outside the list.
    QString List(int index) const;
    // Where the entry at `index` is drawn, in the viewport.
    QRect entryRect(int index) const { return visualRect(names_.index(index)); }

    // The selected entry's index; -1 when none is selected.
    int ListIndex() const;

  signals:
    // The user selected an entry, by mouse or keyboard.
    void Click();
    // The list shows another directory's files: Path has changed.
    void PathChange();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void showListing(const QString& path, const std::optional<QStringList>& names);

    PathMemory memory_;
    QStringListModel names_;
    DirectoryReader reader_;  // last, so that it goes first, before what it fills
};

}  // namespace trovik
