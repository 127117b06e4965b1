#include "drive_list_box.h"

#include <QDir>
#include <QSignalBlocker>
#include <algorithm>

#include "volumes.h"

namespace trovik {

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
    listDrives(driveOf(QDir::currentPath()));
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
// away, so the selection never changes behind the user's back.
void DriveListBox::listDrives(const QString& selected) {
    const QSignalBlocker quiet(this);
    clear();
    for (const DriveEntry& drive : browsableDrives()) addItem(drive.displayName, drive.designator);
    if (findData(selected) < 0 && !selected.isEmpty()) addItem(selected, selected);
    setCurrentIndex(std::max(findData(selected), 0));
}

}  // namespace trovik
