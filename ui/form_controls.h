// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QWidget>
#include <array>

#include "browser/dir_list_box.h"
#include "browser/drive_list_box.h"
#include "browser/file_list_box.h"
#include "ui/clickable_label.h"

namespace trovik {

// Every control of the main window, created at its place with its initial
// properties. Each carries its name as its object name too.
struct FormControls {
    std::array<QPushButton*, 65> Command{};  // index = control number; 0 unused
    std::array<QLineEdit*, 5> Text{};        // index = control number; 0 unused
    QLabel* Label1 = nullptr;
    ClickableLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    ClickableLabel* Label5 = nullptr;
    ClickableLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QCheckBox* Check1 = nullptr;
    QScrollBar* HScroll1 = nullptr;
    QScrollBar* VScroll1 = nullptr;
    DriveListBox* Drive1 = nullptr;
    DirListBox* Dir1 = nullptr;
    FileListBox* File1 = nullptr;
};

FormControls createFormControls(QWidget& form);

}  // namespace trovik
