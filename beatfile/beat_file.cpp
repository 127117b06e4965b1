// SPDX-License-Identifier: GPL-3.0-or-later
#include "beatfile/beat_file.h"

#include <utility>
#include <vector>

#include "beatfile/windows1252.h"

namespace trovik {
namespace {

constexpr std::array<int, kBeatFileGroups> kGroupSizes{4, 8, 10, 10, 10, 10};
constexpr int kIntervalField = 3;  // fields counted from 0
constexpr char kQuote = '"';
constexpr char kComma = ',';
constexpr const char* kLineEnd = "\r\n";

// Writing

std::optional<QByteArray> quoted(const QString& text) {
    if (text.contains(QChar(kQuote))) return std::nullopt;
    const std::optional<QByteArray> bytes = toWindows1252(text);
    if (!bytes) return std::nullopt;
    return kQuote + *bytes + kQuote;
}

std::optional<std::vector<QByteArray>> fieldsOf(const BeatValues& beat) {
    std::vector<QByteArray> fields;
    auto addText = [&fields](const QString& text) {
        std::optional<QByteArray> field = quoted(text);
        if (field) fields.push_back(std::move(*field));
        return field.has_value();
    };
    if (!addText(beat.beatName) || !addText(beat.author) || !addText(beat.info))
        return std::nullopt;
    fields.push_back(QByteArray::number(beat.interval));
    for (const QString& caption : beat.cells) {
        if (!addText(caption)) return std::nullopt;
    }
    return fields;
}

QByteArray inLines(const std::vector<QByteArray>& fields) {
    QByteArray file;
    auto field = fields.begin();
    for (const int size : kGroupSizes) {
        for (int i = 0; i < size; ++i, ++field) {
            if (i > 0) file += kComma;
            file += *field;
        }
        file += kLineEnd;
    }
    return file;
}

// Reading

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool endsField(char c) {
    return c == kComma || c == '\r' || c == '\n';
}

QByteArrayView withoutBlanks(QByteArrayView text) {
    while (!text.isEmpty() && isBlank(text.front())) text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back())) text.chop(1);
    return text;
}

struct Field {
    QByteArrayView content;
    bool quoted = false;
};

// Takes the bytes as one stream of fields, whatever line they stand on. A
// comma or a line end (CR LF, CR or LF) ends a field; an end of file ends the
// last one.
class FieldScanner {
  public:
    explicit FieldScanner(QByteArrayView bytes) : bytes_(bytes) {}

    // False when the bytes end before the group is whole.
    bool appendGroup(int size, std::vector<Field>& fields) {
        for (int i = 0; i < size; ++i) {
            const std::optional<Field> field = next();
            if (!field) return false;
            fields.push_back(*field);
        }
        return true;
    }

  private:
    // Nothing when the bytes end before a field starts or inside its quotes.
    // A comma or line end just before the end starts one more field, empty,
    // which the end of the bytes ends.
    std::optional<Field> next() {
        while (!atEnd() && isBlank(bytes_[pos_])) ++pos_;
        if (atEnd())
            return std::exchange(fieldStarted_, false) ? std::optional<Field>(Field{})
                                                       : std::nullopt;
        return bytes_[pos_] == kQuote ? quotedField() : unquotedField();
    }

    std::optional<Field> quotedField() {
        const qsizetype start = pos_ + 1;
        const qsizetype close = bytes_.indexOf(kQuote, start);
        if (close < 0) return std::nullopt;
        pos_ = close + 1;
        skipToFieldEnd();  // whatever stands between the closing quote and the field end
        takeFieldEnd();
        return Field{bytes_.sliced(start, close - start), true};
    }

    std::optional<Field> unquotedField() {
        const qsizetype start = pos_;
        skipToFieldEnd();
        const QByteArrayView content = withoutBlanks(bytes_.sliced(start, pos_ - start));
        takeFieldEnd();
        return Field{content, false};
    }

    void skipToFieldEnd() {
        while (!atEnd() && !endsField(bytes_[pos_])) ++pos_;
    }

    void takeFieldEnd() {
        fieldStarted_ = !atEnd();
        if (atEnd()) return;
        const char end = bytes_[pos_++];
        if (end == '\r' && !atEnd() && bytes_[pos_] == '\n') ++pos_;
    }

    bool atEnd() const { return pos_ >= bytes_.size(); }

    QByteArrayView bytes_;
    qsizetype pos_ = 0;
    bool fieldStarted_ = false;  // the last field ended at a comma or line end
};

bool allDigits(QByteArrayView text) {
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// A decimal number such as "150", "-7", "+0150.50" or ".5", with the leading
// zeros of its whole part and the trailing zeros of its fraction dropped.
struct Decimal {
    bool negative = false;
    QByteArrayView whole;
    QByteArrayView fraction;

    bool isZero() const { return whole.isEmpty() && fraction.isEmpty(); }
};

std::optional<Decimal> decimalIn(QByteArrayView text) {
    Decimal number;
    if (!text.isEmpty() && (text.front() == '+' || text.front() == '-')) {
        number.negative = text.front() == '-';
        text = text.sliced(1);
    }
    const qsizetype point = text.indexOf('.');
    number.whole = point < 0 ? text : text.first(point);
    number.fraction = point < 0 ? QByteArrayView() : text.sliced(point + 1);
    if (number.whole.isEmpty() && number.fraction.isEmpty()) return std::nullopt;
    if (!allDigits(number.whole) || !allDigits(number.fraction)) return std::nullopt;
    while (!number.whole.isEmpty() && number.whole.front() == '0')
        number.whole = number.whole.sliced(1);
    while (!number.fraction.isEmpty() && number.fraction.back() == '0') number.fraction.chop(1);
    return number;
}

QByteArray ordinaryForm(const Decimal& number) {
    QByteArray form = number.negative && !number.isZero() ? "-" : "";
    form += number.whole.isEmpty() ? QByteArrayView("0") : number.whole;
    if (!number.fraction.isEmpty()) form += '.' + number.fraction.toByteArray();
    return form;
}

// Rounds half to even, as for money and measurements.
bool roundsAwayFromZero(QByteArrayView fraction, int whole) {
    if (fraction.isEmpty()) return false;
    if (fraction.front() != '5') return fraction.front() > '5';
    const bool exactlyHalf = fraction.size() == 1;
    return !exactlyHalf || whole % 2 == 1;
}

// The step interval, 0 to 999; an empty field is 0.
std::optional<qint16> intervalIn(const Field& field) {
    const QByteArrayView text = withoutBlanks(field.content);
    if (text.isEmpty()) return 0;
    const std::optional<Decimal> number = decimalIn(text);
    constexpr int kMostDigits = 3;
    if (!number || number->whole.size() > kMostDigits) return std::nullopt;
    int value = number->whole.isEmpty() ? 0 : number->whole.toByteArray().toInt();
    if (roundsAwayFromZero(number->fraction, value)) ++value;
    if ((number->negative && value != 0) || value > kLongestInterval) return std::nullopt;
    return static_cast<qint16>(value);
}

// A number outside quotes reads in its ordinary form ("007" gives "7"); any
// other field gives its characters.
QString textIn(const Field& field) {
    if (!field.quoted) {
        if (const std::optional<Decimal> number = decimalIn(field.content)) {
            return QString::fromLatin1(ordinaryForm(*number));
        }
    }
    return fromWindows1252(field.content);
}

BeatValues beatFrom(const std::vector<Field>& fields) {
    BeatValues beat;
    beat.beatName = textIn(fields[0]);
    beat.author = textIn(fields[1]);
    beat.info = textIn(fields[2]);
    beat.interval = *intervalIn(fields[kIntervalField]);
    for (int i = 0; i < kBeatFileCells; ++i) beat.cells[i] = textIn(fields[kIntervalField + 1 + i]);
    return beat;
}

}  // namespace

std::optional<QByteArray> writeBeatFile(const BeatValues& beat) {
    const std::optional<std::vector<QByteArray>> fields = fieldsOf(beat);
    if (!fields) return std::nullopt;
    return inLines(*fields);
}

BeatFileReading readBeatFile(QByteArrayView bytes) {
    FieldScanner scanner(bytes);
    std::vector<Field> fields;
    for (int group = 1; group <= kBeatFileGroups; ++group) {
        const bool whole = scanner.appendGroup(kGroupSizes[group - 1], fields);
        const bool valid = group != 1 || (whole && intervalIn(fields[kIntervalField]));
        if (!whole || !valid) return {std::nullopt, group};
    }
    return {beatFrom(fields), 0};
}

}  // namespace trovik
