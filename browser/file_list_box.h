#pragma once

#include <QListWidget>

#include "browser/directory_reading.h"

namespace trovik {

// A list of the "*.wav" files of one directory, names only, sorted without
// regard to letter case, hidden and system files left out. It starts on the
// working directory.
class FileListBox : public QListWidget {
    Q_OBJECT

  public:
    explicit FileListBox(QWidget* parent = nullptr);

    // The directory whose files are listed.
    QString Path() const { return memory_.shown(); }

    // Lists the files of `path`. The path the list already shows changes
    // nothing, not even the selection; a directory that cannot be read
    // leaves the list as it is.
    void setPath(const QString& path);

    // The name at `index`; empty outside the list.
    QString List(int index) const;

    // The selected entry's index; -1 when none is selected.
    int ListIndex() const;

  signals:
    // The user selected an entry, by mouse or keyboard.
    void Click();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    PathMemory memory_;
};

}  // namespace trovik
