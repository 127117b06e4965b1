// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>
#include <functional>
#include <vector>

#include "browser/volumes.h"

namespace trovik {

// A drop-down of the drives a person browses. On Windows those are the
// drive letters; elsewhere the mounted volumes, each named by its root path.
// It starts on the drive that holds the working directory, and always lists
// that drive, browsable or not.
class DriveListBox : public QComboBox {
    Q_OBJECT

  public:
    // `listVolumes` gives the browsable volumes mounted now.
    explicit DriveListBox(QWidget* parent = nullptr,
                          std::function<std::vector<DriveEntry>()> listVolumes = browsableDrives);

    // The selected drive's designator, e.g. "C:\" or "/media/stick".
    QString Drive() const;

  signals:
    // The user picked another drive.
    void Change();

  protected:
    // The volumes are listed anew each time the list drops down, so that a
    // stick plugged in meanwhile shows up.
    void showPopup() override;

  private:
    void listDrives(const QString& selected);

    std::function<std::vector<DriveEntry>()> listVolumes_;
    QString startDrive_;  // holds the folder the program was started in
};

}  // namespace trovik
