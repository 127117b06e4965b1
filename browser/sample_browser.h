// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include "browser/dir_list_box.h"
#include "browser/drive_list_box.h"
#include "browser/file_list_box.h"

namespace trovik {

// The effect sample browser: the drive, directory and file lists. It says
// which file the user picked; it keeps no path of its own. The controls must
// outlive it.
class SampleBrowser : public QObject {
    Q_OBJECT

  public:
    struct Controls {
        DriveListBox& Drive1;
        DirListBox& Dir1;
        FileListBox& File1;
    };

    explicit SampleBrowser(Controls controls);

    void Drive1_Change();
    // Carries the drive into the directory list and the directory into the
    // file list; costs nothing while neither changed.
    void Timer4_Timer();
    void File1_Click();

    // Ticks once, at the next turn of the event loop, after the drive or the
    // directory Dir1 shows has changed, and sleeps otherwise: the lists follow
    // within one tick of a change without anything being polled.
    QTimer& Timer4() { return timer4_; }
    const QTimer& Timer4() const { return timer4_; }

  signals:
    // The full path of the file clicked in File1.
    void samplePicked(const QString& path);

  private:
    Controls c_;
    QTimer timer4_;
};

}  // namespace trovik
