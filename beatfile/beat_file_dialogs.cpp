// SPDX-License-Identifier: GPL-3.0-or-later
#include "beatfile/beat_file_dialogs.h"

#include <QInputDialog>
#include <QMessageBox>

namespace trovik {

QString QtBeatFileDialogs::prompt(const QString& question, const QString& entry) {
    QInputDialog dialog(&parent_);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setWindowTitle(kBeatFileDialogTitle);
    dialog.setLabelText(question);
    dialog.setTextValue(entry);
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

void QtBeatFileDialogs::messageBox(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kBeatFileDialogTitle, text, QMessageBox::Ok, &parent_);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace trovik
