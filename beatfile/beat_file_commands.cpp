// SPDX-License-Identifier: GPL-3.0-or-later
#include "beatfile/beat_file_commands.h"

#include "beatfile/beat_file_storage.h"

namespace trovik {

static_assert(kBeatFileCells == kCellCount);

void BeatFileCommands::Command52_Click() {
    const std::optional<QByteArray> bytes = writeBeatFile(beatOnScreen());
    if (!bytes || !saveBeatFileBytes(c_.Text2.text(), *bytes)) dialogs_.messageBox(kNotSaved);
}

// The whole file is read and checked before anything is shown, so a failed
// load leaves the beat on screen as it was.
void BeatFileCommands::Command51_Click() {
    const QString fileName = dialogs_.prompt(kFileNameQuestion, kSuggestedFileName);
    if (fileName.isEmpty()) return;
    load(fileName);
}

void BeatFileCommands::load(const QString& fileName) {
    c_.beat.rewind();
    const std::optional<QByteArray> bytes = loadBeatFileBytes(fileName);
    const BeatFileReading reading = bytes ? readBeatFile(*bytes) : BeatFileReading{};
    if (!reading.beat) {
        dialogs_.messageBox(kNotLoaded);
        return;
    }
    show(*reading.beat);
}

BeatValues BeatFileCommands::beatOnScreen() const {
    BeatValues beat;
    beat.beatName = c_.Text1.text();
    beat.author = c_.Text3.text();
    beat.info = c_.Text4.text();
    beat.interval = static_cast<qint16>(c_.beat.interval());
    for (int i = 0; i < kCellCount; ++i) beat.cells[i] = c_.beat.caption(kFirstCellNumber + i);
    return beat;
}

void BeatFileCommands::show(const BeatValues& beat) {
    c_.Text1.setText(beat.beatName);
    c_.Text3.setText(beat.author);
    c_.Text4.setText(beat.info);
    c_.beat.load(beat.interval, beat.cells);
}

}  // namespace trovik
