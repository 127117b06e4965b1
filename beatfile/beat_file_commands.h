// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>

#include "beatfile/beat_file.h"
#include "beatfile/beat_file_dialogs.h"
#include "sequencer/beat_model.h"

namespace trovik {

// Save and Load: the beat on screen to and from the file named by the user.
class BeatFileCommands {
  public:
    struct Controls {
        QLineEdit& Text1;  // beat name
        QLineEdit& Text2;  // file name for saving
        QLineEdit& Text3;  // author
        QLineEdit& Text4;  // info
        BeatModel& beat;   // the cells, the interval and the position
    };

    static inline const QString kFileNameQuestion = QStringLiteral("Enter the filename.");
    static inline const QString kSuggestedFileName = QStringLiteral("mybeat.tbk");
    static inline const QString kNotSaved =
        QStringLiteral("An error occured, and the file was not saved.");
    static inline const QString kNotLoaded =
        QStringLiteral("An error occured, and the file was not loaded.");

    BeatFileCommands(Controls controls, BeatFileDialogs& dialogs)
        : c_(controls), dialogs_(dialogs) {}

    void Command52_Click();  // Save
    void Command51_Click();  // Load
    // Load without the prompt: the beat named on the command line.
    void load(const QString& fileName);

  private:
    BeatValues beatOnScreen() const;
    void show(const BeatValues& beat);

    Controls c_;
    BeatFileDialogs& dialogs_;
};

}  // namespace trovik
