// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form_controls.h"

#include <QFont>
#include <limits>

#include "ui/display_label.h"
#include "ui/form_fonts.h"
#include "ui/form_geometry.h"

namespace trovik {
namespace {

template <typename Control>
Control* place(Control* control, const QString& name, QRect where) {
    control->setObjectName(name);
    control->setGeometry(where);
    return control;
}

QPushButton* makeButton(QWidget& form, int number, QRect where, const QString& caption) {
    auto* button =
        place(new QPushButton(caption, &form), QStringLiteral("Command%1").arg(number), where);
    button->setAutoDefault(false);
    return button;
}

// Its size is fixed, so that a new text costs no layout request of the window.
QLabel* makeDisplay(QWidget& form, const QString& name, QRect where, const QString& text) {
    auto* label = place(new DisplayLabel(text, &form), name, where);
    label->setFixedSize(where.size());
    label->setFont(formFont(FormFace::Tahoma, 9.75, false));
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, Qt::white);
    label->setPalette(palette);
    return label;
}

ClickableLabel* makeTrackSwitch(QWidget& form, const QString& name, QRect where) {
    auto* label = place(new ClickableLabel(QStringLiteral("O"), &form), name, where);
    label->setFont(formFont(FormFace::MsSansSerif, 24, true));
    label->setAlignment(Qt::AlignCenter);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    label->setPalette(palette);
    return label;
}

// A text box holds a text of any length that a beat file brings: the
// toolkit's usual limit of 32,767 characters would cut a loaded text short,
// and the next Save would write it so.
QLineEdit* makeTextBox(QWidget& form, int number, QRect where, const QString& text) {
    auto* box = place(new QLineEdit(&form), QStringLiteral("Text%1").arg(number), where);
    box->setMaxLength(std::numeric_limits<int>::max());
    box->setText(text);
    return box;
}

void createTopBand(QWidget& form, FormControls& c) {
    c.Label1 =
        place(new QLabel(QStringLiteral("Trovik beat maker"), &form), "Label1", {0, 0, 200, 24});
    c.Label1->setFont(formFont(FormFace::Tahoma, 12, false));
    c.Label1->setAlignment(Qt::AlignCenter);
    c.Label1->setFrameStyle(QFrame::Box | QFrame::Plain);
    c.Label1->setStyleSheet(
        QStringLiteral("color: rgb(0, 0, 192); background: white; border: 1px solid black;"));

    const QFont transportFont = formFont(FormFace::MsSansSerif, 9.75, true);
    c.Command[1] = makeButton(form, 1, {200, 0, 49, 25}, QStringLiteral("Play"));
    c.Command[2] = makeButton(form, 2, {248, 0, 49, 25}, QStringLiteral("Stop"));
    c.Command[51] = makeButton(form, 51, {558, 0, 49, 25}, QStringLiteral("Load"));
    for (int n : {1, 2, 51}) c.Command[n]->setFont(transportFont);

    // Tempo control: the top arrow lowers the interval, so the beat gets faster.
    c.VScroll1 = place(new QScrollBar(Qt::Vertical, &form), "VScroll1", {296, 0, 49, 25});
    c.VScroll1->setRange(0, 999);
    c.VScroll1->setSingleStep(1);
    c.VScroll1->setPageStep(2);
    c.VScroll1->setValue(150);
    c.VScroll1->setFocusPolicy(
        Qt::StrongFocus);  // the keyboard reaches it with Tab, like the buttons

    c.Label3 = makeDisplay(form, "Label3", {354, 0, 81, 17}, QStringLiteral("Tempo-300"));
    c.Label4 = makeDisplay(form, "Label4", {441, 0, 53, 17}, QStringLiteral("Bar-1"));
}

void createHiddenState(QWidget& form, FormControls& c) {
    c.Check1 = place(new QCheckBox(QStringLiteral("Check1"), &form), "Check1", {210, 42, 49, 13});
    c.Check1->setCheckState(Qt::Checked);
    c.Check1->setVisible(false);

    c.HScroll1 = place(new QScrollBar(Qt::Horizontal, &form), "HScroll1", {264, 208, 81, 17});
    c.HScroll1->setRange(1, 16);
    c.HScroll1->setValue(1);
    c.HScroll1->setVisible(false);
}

void createBeatTexts(QWidget& form, FormControls& c) {
    c.Text[2] = makeTextBox(form, 2, {299, 28, 124, 20}, QStringLiteral("Filename(*.tbk)"));
    c.Text[1] = makeTextBox(form, 1, {422, 28, 124, 20}, QStringLiteral("Beat name here"));
    c.Text[3] = makeTextBox(form, 3, {299, 48, 124, 20}, QStringLiteral("Author"));
    c.Text[4] = makeTextBox(form, 4, {423, 48, 123, 20}, QStringLiteral("Info"));
    c.Command[52] = makeButton(form, 52, {545, 28, 42, 39}, QStringLiteral("Save"));
}

void createTrackPanels(QWidget& form, FormControls& c) {
    const auto switchAt = [](const TrackPanelGeometry& panel) {
        return QRect(kSwitchLeft, panel.switchTop, kSwitchSize, kSwitchSize);
    };
    c.Label2 = makeTrackSwitch(form, "Label2", switchAt(kTrackPanels[0]));
    c.Label5 = makeTrackSwitch(form, "Label5", switchAt(kTrackPanels[1]));
    c.Label6 = makeTrackSwitch(form, "Label6", switchAt(kTrackPanels[2]));

    // A path is shown as the characters it holds, never read as markup.
    c.Label7 = place(new QLabel(&form), "Label7", {89, 335, 162, 17});
    c.Label7->setTextFormat(Qt::PlainText);
    c.Drive1 = place(new DriveListBox(&form), "Drive1", {113, 300, 138, 21});
    c.Dir1 = place(new DirListBox(&form), "Dir1", {254, 300, 117, 62});
    c.File1 = place(new FileListBox(&form), "File1", {374, 300, 100, 45});

    // Selector rows: four buttons under each large square.
    constexpr std::array<int, 3> kFirstSelectors{53, 57, 61};
    const std::array<QString, 4> captions{"-1-", "2", "3", "4"};
    for (std::size_t row = 0; row < kFirstSelectors.size(); ++row) {
        const int first = kFirstSelectors[row];
        const int top = kTrackPanels[row].selectorTop;
        for (int k = 0; k < 4; ++k)
            c.Command[first + k] =
                makeButton(form, first + k, {20 + 24 * k, top, 24, 22}, captions[k]);
    }
}

// The 48 cells sit inside the painted squares. Bass runs left to right from
// Command3, snare right to left from Command19, effect right to left from
// Command35.
void createStepCells(QWidget& form, FormControls& c) {
    const QFont cellFont = formFont(FormFace::Tahoma, 12, true);
    struct Row {
        int numberInColumn1;
        int direction;
    };
    constexpr std::array<Row, 3> kRows{{{3, +1}, {34, -1}, {50, -1}}};
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        const Row& row = kRows[i];
        for (int column = 1; column <= 16; ++column) {
            const int number = row.numberInColumn1 + row.direction * (column - 1);
            c.Command[number] = makeButton(
                form, number, {cellLeft(column), kTrackPanels[i].cellTop, kCellSize, kCellSize},
                QString());
            c.Command[number]->setFont(cellFont);
        }
    }
}

}  // namespace

FormControls createFormControls(QWidget& form) {
    FormControls controls;
    createTopBand(form, controls);
    createHiddenState(form, controls);
    createBeatTexts(form, controls);
    createTrackPanels(form, controls);
    createStepCells(form, controls);
    return controls;
}

}  // namespace trovik
