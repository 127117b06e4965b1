// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

namespace trovik {

inline const QString kBeatFileDialogTitle = QStringLiteral("Trovik Beat Maker");

// The modal questions and messages of Save and Load.
class BeatFileDialogs {
  public:
    virtual ~BeatFileDialogs() = default;

    // The text in the entry, or an empty text when the user cancels.
    virtual QString prompt(const QString& question, const QString& entry) = 0;
    // A message with an OK button only and no icon.
    virtual void messageBox(const QString& text) = 0;
};

// The toolkit's input and message dialogs, blocking the whole application.
class QtBeatFileDialogs : public BeatFileDialogs {
  public:
    explicit QtBeatFileDialogs(QWidget& parent) : parent_(parent) {}

    QString prompt(const QString& question, const QString& entry) override;
    void messageBox(const QString& text) override;

  private:
    QWidget& parent_;
};

}  // namespace trovik
