// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/drive_list_box.h"

#include <QDir>
#include <QSignalBlocker>
#include <algorithm>
#include <utility>

namespace trovik {

DriveListBox::DriveListBox(QWidget* parent, std::function<std::vector<DriveEntry>()> listVolumes)
    : QComboBox(parent),
      listVolumes_(std::move(listVolumes)),
      startDrive_(driveOf(QDir::currentPath())) {
    listDrives(startDrive_);
    connect(this, &QComboBox::currentIndexChanged, this, &DriveListBox::Change);
}

QString DriveListBox::Drive() const {
    return currentData().toString();
}

void DriveListBox::showPopup() {
    listDrives(Drive());
    QComboBox::showPopup();
}

// The selected drive stays listed even when it is not browsable or has gone
// away, so the selection never changes behind the user's back; so does the
// drive the program was started on, so the user can always go back there.
void DriveListBox::listDrives(const QString& selected) {
    const QSignalBlocker quiet(this);
    clear();
    for (const DriveEntry& drive : listVolumes_()) addItem(drive.displayName, drive.designator);
    for (const QString& kept : {startDrive_, selected}) {
        if (findData(kept) < 0 && !kept.isEmpty()) addItem(kept, kept);
    }
    setCurrentIndex(std::max(findData(selected), 0));
}

}  // namespace trovik
