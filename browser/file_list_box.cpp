#include "browser/file_list_box.h"

#include <QSignalBlocker>

#include "browser/path_rules.h"

namespace trovik {

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemClicked, this, &FileListBox::Click);
    setPath(workingDirectory());
}

void FileListBox::setPath(const QString& path) {
    if (memory_.remembers(path)) return;
    const std::optional<QStringList> names = readWavFileNames(path);
    if (!names) {
        memory_.rememberUnreadable(path);
        return;
    }
    memory_.rememberShown(path);
    const QSignalBlocker quiet(this);
    clear();
    addItems(*names);
}

QString FileListBox::List(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry ? entry->text() : QString();
}

int FileListBox::ListIndex() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

// Moving the selection with the keyboard selects an entry as a click does.
void FileListBox::keyPressEvent(QKeyEvent* event) {
    const int before = ListIndex();
    QListWidget::keyPressEvent(event);
    if (ListIndex() != before && ListIndex() >= 0) emit Click();
}

}  // namespace trovik
