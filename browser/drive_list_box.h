#pragma once

#include <QComboBox>

namespace trovik {

// A drop-down of the drives a person browses. On Windows those are the
// drive letters; elsewhere the mounted volumes, each named by its root path.
// It starts on the drive that holds the working directory.
class DriveListBox : public QComboBox {
    Q_OBJECT

  public:
    explicit DriveListBox(QWidget* parent = nullptr);

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
};

}  // namespace trovik
