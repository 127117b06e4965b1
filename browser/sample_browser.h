#pragma once

#include <QLabel>

#include "browser/dir_list_box.h"
#include "browser/drive_list_box.h"
#include "browser/file_list_box.h"

namespace trovik {

// The effect sample browser: the drive, directory and file lists, and the
// label that holds the effect track's sample path.
class SampleBrowser {
  public:
    struct Controls {
        DriveListBox& Drive1;
        DirListBox& Dir1;
        FileListBox& File1;
        QLabel& Label7;  // the effect sample path
    };

    explicit SampleBrowser(Controls controls) : c_(controls) {}

    void Drive1_Change();
    // Carries the drive into the directory list and the directory into the
    // file list. Runs on every tick of Timer4, and costs nothing while neither changed.
    void Timer4_Timer();
    void File1_Click();

  private:
    Controls c_;
};

}  // namespace trovik
