#pragma once

#include <QListWidget>

#include "browser/directory_reading.h"

namespace trovik {

// A list of directories: the open path from its drive's root down to the
// current directory, and below that the current directory's subdirectories.
// Double-click or Enter opens the entry under the cursor. It starts on the
// working directory.
class DirListBox : public QListWidget {
    Q_OBJECT

  public:
    explicit DirListBox(QWidget* parent = nullptr);

    // The current directory. A drive's root ends in a separator, any other
    // directory does not.
    QString Path() const { return memory_.shown(); }

    // Opens `path`. A drive designator (the root of the drive the list is
    // on) keeps the directory the list shows. A directory that cannot be read
    // leaves the list as it is.
    void setPath(const QString& path);

    // The full path of the entry at `row`, from the drive's root at row 0;
    // empty outside the list.
    QString List(int row) const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void open(const QString& path, const QString& driveRoot);
    void fillEntries(const QString& path, const QStringList& subdirectories);
    void openEntry(const QListWidgetItem* entry);

    PathMemory memory_;
    QString driveRoot_;  // the top of the list: the drive the list is on
};

}  // namespace trovik
