// SPDX-License-Identifier: GPL-3.0-or-later
#include "beatfile/windows1252.h"

#include <array>

namespace trovik {
namespace {

// Bytes 80 to 9F; every other byte is the character of the same number.
constexpr std::array<char16_t, 32> kHighControlRange{
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178'};
constexpr unsigned char kFirstMappedByte = 0x80;

std::optional<char> byteFor(char16_t character) {
    const bool sameNumber = character < 0x80 || (character >= 0xA0 && character <= 0xFF);
    if (sameNumber) return static_cast<char>(character);
    for (std::size_t i = 0; i < kHighControlRange.size(); ++i) {
        if (kHighControlRange[i] == character) return static_cast<char>(kFirstMappedByte + i);
    }
    return std::nullopt;
}

}  // namespace

std::optional<QByteArray> toWindows1252(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar character : text) {
        const std::optional<char> byte = byteFor(character.unicode());
        if (!byte) return std::nullopt;
        bytes.append(*byte);
    }
    return bytes;
}

QString fromWindows1252(QByteArrayView bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char raw : bytes) {
        const auto byte = static_cast<unsigned char>(raw);
        const bool mapped =
            byte >= kFirstMappedByte && byte < kFirstMappedByte + kHighControlRange.size();
        text.append(mapped ? QChar(kHighControlRange[byte - kFirstMappedByte]) : QChar(byte));
    }
    return text;
}

}  // namespace trovik
