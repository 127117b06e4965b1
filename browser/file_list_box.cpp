// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/file_list_box.h"

#include <QSignalBlocker>
#include <utility>

#include "browser/path_rules.h"

namespace trovik {

FileListBox::FileListBox(QWidget* parent, DirectoryReader::ReadNames readNames)
    : QListView(parent),
      reader_(std::move(readNames),
              [this](const QString& path, const std::optional<QStringList>& names) {
                  showListing(path, names);
              }) {
    setModel(&names_);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListView::clicked, this, &FileListBox::Click);
    setPath(workingDirectory());
}

void FileListBox::setPath(const QString& path) {
    if (memory_.remembers(path)) return;
    if (path == memory_.shown()) {  // asked back while reading another: it stays
        reader_.cancel();
        memory_.forgetReading();
        return;
    }
    memory_.rememberReading(path);
    reader_.read(path);
}

void FileListBox::showListing(const QString& path, const std::optional<QStringList>& names) {
    if (!names) {
        memory_.rememberUnreadable(path);
        return;
    }
    memory_.rememberShown(path);
    {
        const QSignalBlocker quiet(this);
        names_.setStringList(*names);
    }
    emit PathChange();
}

QString FileListBox::List(int index) const {
    if (index < 0 || index >= count()) return {};
    return names_.data(names_.index(index)).toString();
}

int FileListBox::ListIndex() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

// Moving the selection with the keyboard selects an entry as a click does.
void FileListBox::keyPressEvent(QKeyEvent* event) {
    const int before = ListIndex();
    QListView::keyPressEvent(event);
    if (ListIndex() != before && ListIndex() >= 0) emit Click();
}

}  // namespace trovik
