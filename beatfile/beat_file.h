// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <optional>

namespace trovik {

constexpr int kBeatFileCells = 48;
constexpr int kBeatFileGroups = 6;
constexpr int kLongestInterval = 999;

// The 52 values a beat file holds, in file order.
struct BeatValues {
    QString beatName;
    QString author;
    QString info;
    qint16 interval = 0;
    std::array<QString, kBeatFileCells> cells;  // captions of Command3 to Command50

    bool operator==(const BeatValues&) const = default;
};

// The six lines of the file, or nothing when a text holds a double quote or a
// character that Windows-1252 cannot hold: such a text would not read back.
std::optional<QByteArray> writeBeatFile(const BeatValues& beat);

struct BeatFileReading {
    std::optional<BeatValues> beat;
    int failedGroup = 0;  // 1 to 6 when `beat` is empty: the fields 1-4, 5-12, 13-22, ... group
};

// Reads the whole beat, or names the first group that the bytes do not hold
// whole and valid. Nothing after the 52nd field is looked at.
BeatFileReading readBeatFile(QByteArrayView bytes);

}  // namespace trovik
