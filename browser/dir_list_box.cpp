// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/dir_list_box.h"

#include <QDir>
#include <QKeyEvent>
#include <QStyle>
#include <utility>

#include "browser/path_rules.h"
#include "browser/volumes.h"

namespace trovik {
namespace {

constexpr int kPathRole = Qt::UserRole;

QListWidgetItem* makeEntry(const QString& text, const QString& path, int depth, const QIcon& icon) {
    auto* entry = new QListWidgetItem(icon, QString(depth, u' ') + text);
    entry->setData(kPathRole, path);
    return entry;
}

}  // namespace

DirListBox::DirListBox(QWidget* parent, DirectoryReader::ReadNames readNames)
    : QListWidget(parent),
      reader_(std::move(readNames),
              [this](const QString& path, const std::optional<QStringList>& subdirectories) {
                  showListing(path, subdirectories);
              }) {
    setUniformItemSizes(true);
    setIconSize({12, 12});
    connect(this, &QListWidget::itemDoubleClicked, this, &DirListBox::openEntry);
    setPath(workingDirectory());
}

void DirListBox::setPath(const QString& path) {
    if (memory_.remembers(path) || path == wantedDriveRoot_) return;
    if (path == memory_.shown()) {
        dropReading();
        return;
    }
    open(path, driveOf(path));
}

void DirListBox::open(const QString& path, const QString& driveRoot) {
    memory_.rememberReading(path);
    wantedDriveRoot_ = driveRoot;
    reader_.read(path);
}

// Asked for the directory it shows while reading another: it stays.
void DirListBox::dropReading() {
    reader_.cancel();
    memory_.forgetReading();
    wantedDriveRoot_ = driveRoot_;
}

void DirListBox::showListing(const QString& path,
                             const std::optional<QStringList>& subdirectories) {
    if (!subdirectories) {
        memory_.rememberUnreadable(path);
        wantedDriveRoot_ = driveRoot_;
        return;
    }
    memory_.rememberShown(path);
    driveRoot_ = wantedDriveRoot_;
    fillEntries(path, *subdirectories);
    emit Change();
}

void DirListBox::fillEntries(const QString& path, const QStringList& subdirectories) {
    const QIcon openFolder = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedFolder = style()->standardIcon(QStyle::SP_DirClosedIcon);
    clear();
    const QStringList chain = pathChain(driveRoot_, path);
    for (int depth = 0; depth < chain.size(); ++depth) {
        const QString& directory = chain[depth];
        addItem(makeEntry(depth == 0 ? directory : QDir(directory).dirName(), directory, depth,
                          openFolder));
    }
    QListWidgetItem* current = item(count() - 1);
    for (const QString& name : subdirectories) {
        addItem(makeEntry(name, joinPath(path, name), chain.size(), closedFolder));
    }
    setCurrentItem(current);
    scrollToItem(current, QAbstractItemView::PositionAtTop);
}

QString DirListBox::List(int row) const {
    const QListWidgetItem* entry = item(row);
    return entry ? entry->data(kPathRole).toString() : QString();
}

void DirListBox::openEntry(const QListWidgetItem* entry) {
    if (entry) open(entry->data(kPathRole).toString(), driveRoot_);
}

void DirListBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openEntry(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}

}  // namespace trovik
