// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QTimer>

#include "browser/dir_list_box.h"
#include "browser/drive_list_box.h"
#include "browser/file_list_box.h"

namespace trovik {

// The effect sample browser: the drive, directory and file lists, and the
// label that holds the effect track's sample path. The controls must outlive
// it.
class SampleBrowser {
  public:
    struct Controls {
        DriveListBox& Drive1;
        DirListBox& Dir1;
        FileListBox& File1;
        QLabel& Label7;  // the effect sample path
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

  private:
    Controls c_;
    QTimer timer4_;
};

}  // namespace trovik
