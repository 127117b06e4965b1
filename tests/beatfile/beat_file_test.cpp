#include "beat_file.h"

#include <gtest/gtest.h>

#include "beat_values_printer.h"
#include "windows1252.h"
#include "worked_example.h"

namespace trovik {
namespace {

using testing::kWorkedExample;

BeatValues initialTextsWithCellsOn(std::initializer_list<int> commandNumbers) {
    BeatValues beat{"Beat name here", "Author", "Info", 150, {}};
    for (const int n : commandNumbers) beat.cells[n - 3] = "O";  // Command3 is the first cell
    return beat;
}

BeatValues workedExample() {
    return initialTextsWithCellsOn(testing::kWorkedExampleCells);
}

// A file that holds the given 52 fields, joined by `separator`.
QByteArray fieldsJoinedBy(const QByteArray& separator) {
    QByteArray file = "\"Beat name here\"" + separator + "\"Author\"" + separator + "\"Info\"" +
                      separator + "150";
    const BeatValues beat = workedExample();
    for (const QString& caption : beat.cells) file += separator + '"' + caption.toLatin1() + '"';
    return file;
}

QByteArray workedExampleWithLineEnd(const QByteArray& lineEnd) {
    QByteArray file = kWorkedExample;
    return file.replace("\r\n", lineEnd);
}

QByteArray withInterval(const QByteArray& field) {
    QByteArray file = kWorkedExample;
    return file.replace(",150\r\n", "," + field + "\r\n");
}

TEST(BeatFileWriter, WritesTheWorkedExampleByteForByte) {
    EXPECT_EQ(writeBeatFile(workedExample()), kWorkedExample);
    EXPECT_EQ(kWorkedExample.size(), 193);
    EXPECT_EQ(writeBeatFile(initialTextsWithCellsOn({}))->size(), 187);
}

TEST(BeatFileWriter, QuotesEveryTextAsItIsAndWritesTheIntervalBare) {
    BeatValues beat = initialTextsWithCellsOn({});
    beat.beatName = "Rock, slow";
    beat.author = "";
    beat.info = " café ";
    beat.interval = 7;
    beat.cells[47] = "X";
    const QByteArray file = *writeBeatFile(beat);
    EXPECT_TRUE(file.startsWith("\"Rock, slow\",\"\",\" caf\xE9 \",7\r\n"));
    EXPECT_TRUE(file.endsWith(",\"\",\"X\"\r\n"));
}

TEST(BeatFileWriter, RefusesTextsThatWouldNotReadBackTheSame) {
    const QString refused[] = {"say \"hi\"", "\"", QString::fromUtf8("鼓"),
                               QString::fromUtf8("🥁"), QString(QChar(0x80))};
    for (const QString& text : refused) {
        BeatValues name = workedExample(), info = workedExample(), cell = workedExample();
        name.beatName = text;
        info.info = text;
        cell.cells[20] = text;
        EXPECT_FALSE(writeBeatFile(name)) << text.toStdString();
        EXPECT_FALSE(writeBeatFile(info)) << text.toStdString();
        EXPECT_FALSE(writeBeatFile(cell)) << text.toStdString();
    }
}

TEST(BeatFileRoundTrip, GivesBackEveryKindOfTextAndCaption) {
    BeatValues beat;
    beat.beatName = QString::fromUtf8("Niño, 2 €, ‰ and Ÿ");
    beat.author = "";
    beat.info = "  spaces kept inside quotes, 007  ";
    beat.interval = 999;
    const QString captions[] = {"O",         "",  "x",      "007",          ",",
                                "two words", "&", "#NULL#", "line\r\nbreak"};
    for (int i = 0; i < kBeatFileCells; ++i) beat.cells[i] = captions[i % std::size(captions)];

    const BeatFileReading reading = readBeatFile(*writeBeatFile(beat));
    ASSERT_TRUE(reading.beat);
    EXPECT_EQ(*reading.beat, beat);

    beat.interval = 0;
    EXPECT_EQ(readBeatFile(*writeBeatFile(beat)).beat, beat);
}

TEST(BeatFileCodec, EveryByteReadsAndWritesBackUnchanged) {
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b) everyByte.append(static_cast<char>(b));
    const QString text = fromWindows1252(everyByte);
    EXPECT_EQ(text.size(), 256);
    EXPECT_EQ(text[0x80], QChar(0x20AC));
    EXPECT_EQ(text[0x9F], QChar(0x0178));
    EXPECT_EQ(text[0xE9], QChar(0xE9));
    EXPECT_EQ(toWindows1252(text), everyByte);
}

TEST(BeatFileReader, ReadsTheWorkedExample) {
    const BeatFileReading reading = readBeatFile(kWorkedExample);
    ASSERT_TRUE(reading.beat);
    EXPECT_EQ(*reading.beat, workedExample());
}

TEST(BeatFileReader, TakesTheFieldsWhateverLinesTheyStandOn) {
    for (const QByteArray& separator :
         {QByteArray(","), QByteArray("\r\n"), QByteArray("\n"), QByteArray("\r")}) {
        EXPECT_EQ(readBeatFile(fieldsJoinedBy(separator)).beat, workedExample())
            << separator.toHex().toStdString();
    }
}

TEST(BeatFileReader, AcceptsOtherLineEndsAndAMissingLastOne) {
    for (const QByteArray& lineEnd : {QByteArray("\n"), QByteArray("\r")}) {
        EXPECT_EQ(readBeatFile(workedExampleWithLineEnd(lineEnd)).beat, workedExample());
    }
    EXPECT_EQ(readBeatFile(kWorkedExample.chopped(2)).beat, workedExample());
    EXPECT_EQ(readBeatFile(kWorkedExample + "anything after the last field").beat, workedExample());
}

TEST(BeatFileReader, IgnoresBlanksAroundFieldsAndWhateverFollowsAClosingQuote) {
    QByteArray file = kWorkedExample;
    file.replace("\"Author\",", "  \"Author\"  ,");
    file.replace("\"Info\",150", "\"Info\"trailing,\t 150 ");
    EXPECT_EQ(readBeatFile(file).beat, workedExample());
}

TEST(BeatFileReader, ReadsEmptyFieldsAsEmptyTexts) {
    QByteArray file = kWorkedExample;
    file.replace("\"Beat name here\",\"Author\"", ",");  // two commas in a row
    file.replace("\"O\",\"\",\"\",\"\",\"O\",\"\",\"\",\"\"\r\n",
                 "\r\n,,,,,,\r\n");  // an empty line first
    BeatValues expected = workedExample();
    expected.beatName = expected.author = "";
    expected.cells[0] = expected.cells[4] = "";
    EXPECT_EQ(readBeatFile(file).beat, expected);
}

TEST(BeatFileReader, ReadsANumberOutsideQuotesInItsOrdinaryForm) {
    const std::pair<QByteArray, QString> cases[] = {
        {"007", "7"},   {"+5", "5"},  {"-0", "0"},          {"1.50", "1.5"}, {".5", "0.5"},
        {"-2.0", "-2"}, {" O ", "O"}, {"#TRUE#", "#TRUE#"}, {"1e3", "1e3"},  {"1.2.3", "1.2.3"}};
    for (const auto& [field, caption] : cases) {
        QByteArray file = kWorkedExample;
        file.replace("\r\n\"O\",", "\r\n" + field + ",");
        const BeatFileReading reading = readBeatFile(file);
        ASSERT_TRUE(reading.beat) << field.toStdString();
        EXPECT_EQ(reading.beat->cells[0], caption) << field.toStdString();
    }
}

TEST(BeatFileReader, ReadsTheIntervalAsAWholeNumberRoundingHalvesToEven) {
    const std::pair<QByteArray, int> cases[] = {
        {"150", 150},   {"\"150\"", 150}, {"\" 42 \"", 42}, {"", 0},           {"\"\"", 0},
        {"0", 0},       {"999", 999},     {"0000150", 150}, {"+7", 7},         {"-0", 0},
        {"150.4", 150}, {"150.5", 150},   {"151.5", 152},   {"150.5000", 150}, {"150.50001", 151},
        {"150.6", 151}, {"0.5", 0},       {"-0.4", 0},      {"-0.5", 0},       {"998.5", 998},
        {"7.", 7},      {".9", 1}};
    for (const auto& [field, interval] : cases) {
        const BeatFileReading reading = readBeatFile(withInterval(field));
        ASSERT_TRUE(reading.beat) << field.toStdString();
        EXPECT_EQ(reading.beat->interval, interval) << field.toStdString();
    }
}

TEST(BeatFileReader, RefusesAnIntervalThatIsNoNumberOrOutOfRange) {
    for (const QByteArray field :
         {"fast", "1000", "999.5", "-1", "-0.6", "32768", "99999999999999999999", "1e2", "0x10",
          "-", ".", "1 5", "\"twelve\""}) {
        const BeatFileReading reading = readBeatFile(withInterval(field));
        EXPECT_FALSE(reading.beat) << field.toStdString();
        EXPECT_EQ(reading.failedGroup, 1) << field.toStdString();
    }
}

TEST(BeatFileReader, NamesTheGroupInWhichTheFileEnds) {
    const int firstFieldOfGroup[] = {1, 5, 13, 23, 33, 43, 53};
    const QByteArray oneFieldALine = fieldsJoinedBy("\r\n") + "\r\n";
    int group = 1;
    for (int fields = 0; fields < 52; ++fields) {
        if (fields + 1 >= firstFieldOfGroup[group]) ++group;
        qsizetype cut = 0;
        for (int i = 0; i < fields; ++i) cut = oneFieldALine.indexOf("\r\n", cut) + 2;
        const BeatFileReading reading = readBeatFile(oneFieldALine.first(cut));
        EXPECT_FALSE(reading.beat) << fields << " fields";
        EXPECT_EQ(reading.failedGroup, group) << fields << " fields";
    }
}

TEST(BeatFileReader, FailsOnAQuoteThatIsNeverClosed) {
    QByteArray file = kWorkedExample;
    file.chop(4);  // the last field loses its closing quote
    EXPECT_EQ(readBeatFile(file).failedGroup, 6);
    EXPECT_EQ(readBeatFile("\"Beat name here").failedGroup, 1);
}

}  // namespace
}  // namespace trovik
