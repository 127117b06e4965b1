// The beat file: the .tbk bytes in and out, the storage under a full disk
// and in a folder that takes no new files, and Save and Load on the window's
// controls with the real dialogs.
#include "beat_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <string>
#include <vector>

#include "../support/recording_player.h"
#include "beat_file_storage.h"
#include "form1.h"

namespace trovik {
namespace {

// The beat name, author and info texts a new window shows, an interval of
// 150 and six cells on: bass steps 1, 5, 9, 13 and snare steps 13 and 5.
const QByteArray kWorkedExample =
    "\"Beat name here\",\"Author\",\"Info\",150\r\n"
    "\"O\",\"\",\"\",\"\",\"O\",\"\",\"\",\"\"\r\n"
    "\"O\",\"\",\"\",\"\",\"O\",\"\",\"\",\"\",\"\",\"\"\r\n"
    "\"\",\"O\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"O\"\r\n"
    "\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n"
    "\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n";
constexpr int kWorkedExampleCells[] = {3, 7, 11, 15, 22, 30};  // Command3 is bass step 1

BeatValues workedExample(bool cellsOn = true) {
    BeatValues beat{"Beat name here", "Author", "Info", 150, {}};
    for (const int n : kWorkedExampleCells) beat.cells[n - kFirstCellNumber] = cellsOn ? "O" : "";
    return beat;
}

TEST(BeatFileFormat, WritesAndReadsTheWorkedExampleByteForByte) {
    EXPECT_EQ(writeBeatFile(workedExample()), kWorkedExample);
    EXPECT_EQ(kWorkedExample.size(), 193);
    EXPECT_EQ(writeBeatFile(workedExample(false))->size(), 187);
    EXPECT_EQ(readBeatFile(kWorkedExample).beat, workedExample());
}

QByteArray replaced(const QByteArray& from, const QByteArray& to) {
    return QByteArray(kWorkedExample).replace(from, to);
}

TEST(BeatFileReader, FollowsTheFieldRulesAndItsLenientChoices) {
    // Fields end at a comma or at any line end, whatever line they stand on;
    // an empty line is an empty field; blanks around a field and whatever
    // follows a closing quote are ignored; nothing after field 52 is read.
    for (const QByteArray& file :
         {replaced("\r\n", "\n"), replaced("\r\n", "\r"), replaced(",", "\r\n"),
          replaced("\"\"\r\n\"\",", "\r\n\r\n"), replaced("\"Author\",", " \t\"Author\"junk  ,"),
          kWorkedExample + "\"never read"}) {
        EXPECT_EQ(readBeatFile(file).beat, workedExample()) << file.toStdString();
    }
    // The first cell's field, and the caption it gives.
    const std::pair<QByteArray, const char*> cells[] = {
        {"", ""},           {"\" O \"", " O "},   {"\"a,\r\nb\"", "a,\r\nb"},
        {"007", "7"},       {" +1.50 ", "1.5"},   {"-0", "0"},
        {".5", "0.5"},      {"-2.0", "-2"},       {"1e3", "1e3"},
        {"1.2.3", "1.2.3"}, {"#TRUE#", "#TRUE#"}, {"\"\x80\x9F\xE9\x81\"", "€Ÿé\u0081"}};
    for (const auto& [field, caption] : cells) {
        BeatValues expected = workedExample();
        expected.cells[0] = QString::fromUtf8(caption);
        EXPECT_EQ(readBeatFile(replaced("150\r\n\"O\",", "150\r\n" + field + ",")).beat, expected)
            << field.toStdString();
    }
    // The interval field, and the interval it gives (-1: refused in group 1).
    const std::pair<QByteArray, int> intervals[] = {
        {"\" 42 \"", 42}, {"", 0},        {"\"\"", 0},    {"0000150", 150},   {"+7", 7},
        {"999", 999},     {"150.5", 150}, {"151.5", 152}, {"150.50001", 151}, {"-0.5", 0},
        {".9", 1},        {"7.", 7},      {"fast", -1},   {"1000", -1},       {"999.5", -1},
        {"-1", -1},       {"-0.6", -1},   {"32768", -1},  {"1e2", -1},        {"0x10", -1},
        {"-", -1},        {".", -1},      {"1 5", -1},    {"\"twelve\"", -1}};
    for (const auto& [field, interval] : intervals) {
        const BeatFileReading reading = readBeatFile(replaced(",150\r\n", "," + field + "\r\n"));
        EXPECT_EQ(reading.beat ? reading.beat->interval : -reading.failedGroup, interval)
            << field.toStdString();
    }
    // A file cut short fails in the group it ends in: cut where a line starts
    // or a little later, and in a quote never closed (0: the file reads).
    const std::pair<int, int> cuts[] = {{0, 1},   {12, 1},  {38, 2},  {50, 2},  {65, 3},
                                        {77, 3},  {98, 4},  {110, 4}, {131, 5}, {143, 5},
                                        {162, 6}, {174, 6}, {189, 6}, {191, 0}};
    for (const auto& [cut, group] : cuts) {
        const BeatFileReading reading = readBeatFile(kWorkedExample.first(cut));
        EXPECT_EQ(reading.beat ? 0 : reading.failedGroup, group) << cut;
    }
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

TEST(BeatFileStorage, AFullDiskLeavesTheOldFileByteForByte) {
    QTemporaryDir folder;
    const QByteArray where = QFile::encodeName(folder.path());
    if (geteuid() != 0 || ::mount("tmpfs", where.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    const auto unmount = qScopeGuard([&] { ::umount2(where.constData(), MNT_DETACH); });
    const QString target = folder.filePath("beat.tbk");
    ASSERT_TRUE(saveBeatFileBytes(target, "the old beat"));
    const int filler =
        ::open(QFile::encodeName(folder.filePath("filler")), O_WRONLY | O_CREAT, 0644);
    while (::write(filler, "f", 1) > 0) continue;
    ::close(filler);

    EXPECT_FALSE(saveBeatFileBytes(target, "new"));
    EXPECT_EQ(loadBeatFileBytes(target), "the old beat");
    EXPECT_FALSE(saveBeatFileBytes(folder.filePath("new.tbk"), "new"));
    EXPECT_EQ(entriesOf(folder.path()), (QStringList{"beat.tbk", "filler"}));
}

// Root may write anywhere, so the save runs with an ordinary user's rights.
TEST(BeatFileStorage, WritesInPlaceWhereTheFolderTakesNoNewFiles) {
    QTemporaryDir folder;
    const QString target = folder.filePath("beat.tbk");
    ASSERT_TRUE(saveBeatFileBytes(target, "the old beat"));
    QFile::setPermissions(target, QFileDevice::Permissions(0x6666));         // rw- for all
    QFile::setPermissions(folder.path(), QFileDevice::Permissions(0x5555));  // r-x for all
    const bool root = geteuid() == 0;
    EXPECT_TRUE(!root || (::setegid(65534) == 0 && ::seteuid(65534) == 0));
    EXPECT_TRUE(saveBeatFileBytes(target, "new"));
    EXPECT_FALSE(saveBeatFileBytes(folder.filePath("new.tbk"), "new"));
    EXPECT_TRUE(!root || (::seteuid(0) == 0 && ::setegid(0) == 0));
    QFile::setPermissions(folder.path(), QFileDevice::Permissions(0x7700));
    EXPECT_EQ(loadBeatFileBytes(target), "new");
    EXPECT_EQ(entriesOf(folder.path()), QStringList{"beat.tbk"});
}

// Save and Load in the window, through the real dialogs, which a timer
// answers as a user would: the file name prompt with `answer` (Cancel when it
// is empty), a message with OK. The loop runs meanwhile; an interval of 0
// holds the step position still where a test compares it.
class BeatFileCommandsTest : public ::testing::Test {
  protected:
    BeatFileCommandsTest() {
        QObject::connect(&user, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            auto* input = qobject_cast<QInputDialog*>(dialog);
            auto* box = qobject_cast<QMessageBox*>(dialog);
            if (!input && !box) return;
            seen.push_back((dialog->windowTitle() + " / " +
                            (input ? input->labelText() + " / " + input->textValue() : box->text()))
                               .toStdString());
            if (input) input->setTextValue(answer);
            (input && answer.isEmpty()) ? dialog->reject() : dialog->accept();
        });
        user.start(5);
    }
    void load(const QString& name) {
        answer = name;
        c.Command[51]->click();
    }
    // A beat unlike the worked example, halted at step 9 by its interval of 0.
    void showAnotherBeat() {
        for (const int n : {1, 3, 4}) c.Text[n]->setText("other");
        c.VScroll1->setValue(0);
        c.HScroll1->setValue(9);
        for (int n = kFirstCellNumber; n <= kLastCellNumber; ++n)
            c.Command[n]->setText(n % 3 ? "" : "O");
    }
    // Everything Save and Load read or write.
    std::string state() const {
        QStringList all;
        for (int n = 1; n <= 4; ++n) all << c.Text[n]->text();
        all << QString::number(c.VScroll1->value()) << QString::number(c.HScroll1->value());
        for (int n = kFirstCellNumber; n <= kLastCellNumber; ++n) all << c.Command[n]->text();
        return all.join(" | ").toStdString();
    }

    testing::RecordingPlayer player;
    Form1 form{player};
    const FormControls& c = form.controls();
    QTimer user;
    QString answer;
    std::vector<std::string> seen;
    QTemporaryDir folder;
};

const std::string kAsked = "Trovik Beat Maker / Enter the filename. / mybeat.tbk";
const std::string kNotSaved = "Trovik Beat Maker / An error occured, and the file was not saved.";
const std::string kNotLoaded = "Trovik Beat Maker / An error occured, and the file was not loaded.";

TEST_F(BeatFileCommandsTest, SavesTheWorkedExampleAndLoadGivesBackWhatWasSaved) {
    for (const int n : kWorkedExampleCells) c.Command[n]->setText("O");
    c.Text[2]->setText(folder.filePath("worked.tbk"));
    const auto shown = state();
    c.Command[52]->click();
    EXPECT_EQ(loadBeatFileBytes(folder.filePath("worked.tbk")), kWorkedExample);
    EXPECT_EQ(state(), shown);

    // A relative name is taken from the working folder, even one that Qt
    // would take for a resource.
    c.Text[1]->setText(QString::fromUtf8("Niño, 2 € ‰ Ÿ"));
    c.Text[4]->setText(" 007, spaced ");
    c.VScroll1->setValue(999);
    const QString captions[] = {"O", "", "007", ",", "two words", "#NULL#", "a\r\nb", QChar(0x81)};
    for (int n = kFirstCellNumber; n <= kLastCellNumber; ++n)
        c.Command[n]->setText(captions[n % std::size(captions)]);
    c.Text[2]->setText(":round.tbk");
    c.HScroll1->setValue(1);
    const auto saved = state();
    const QString startedIn = QDir::currentPath();
    QDir::setCurrent(folder.path());
    c.Command[52]->click();
    showAnotherBeat();
    load(":round.tbk");
    QDir::setCurrent(startedIn);
    EXPECT_EQ(state(), saved);
    EXPECT_TRUE(QFile::exists(folder.path() + "/:round.tbk"));
    EXPECT_EQ(seen, std::vector<std::string>{kAsked});
}

// A text that would not read back is refused before anything is written.
TEST_F(BeatFileCommandsTest, EveryFailedSaveShowsTheMessageAndLeavesTheDiskAlone) {
    const QString existing = folder.filePath("existing.tbk");
    ASSERT_TRUE(saveBeatFileBytes(existing, "old"));
    c.Text[2]->setText(existing);
    for (const QString& bad : {QString("say \"hi\""), QString::fromUtf8("鼓"),
                               QString::fromUtf8("🥁"), QString(QChar(0x80))}) {
        for (QObject* field :
             std::initializer_list<QObject*>{c.Text[1], c.Text[3], c.Text[4], c.Command[40]}) {
            const QVariant kept = field->property("text");
            field->setProperty("text", bad);
            c.Command[52]->click();
            field->setProperty("text", kept);
        }
    }
    for (const QString& name :
         {QString(), folder.filePath("no such folder/beat.tbk"), folder.path()}) {
        c.Text[2]->setText(name);
        c.Command[52]->click();
    }
    EXPECT_EQ(seen, std::vector<std::string>(19, kNotSaved));
    EXPECT_EQ(loadBeatFileBytes(existing), "old");
    EXPECT_EQ(entriesOf(folder.path()), QStringList{"existing.tbk"});
}

// Cancel changes nothing; a load that fails anywhere shows nothing of the
// file and only rewinds to step 1.
TEST_F(BeatFileCommandsTest, CancelChangesNothingAndAFailedLoadOnlyRewinds) {
    showAnotherBeat();
    const auto shown = state();
    load("");
    EXPECT_EQ(state(), shown);
    EXPECT_EQ(seen, std::vector<std::string>{kAsked});
    ASSERT_TRUE(saveBeatFileBytes(folder.filePath("bad interval"), replaced("150", "fast")));
    ASSERT_TRUE(saveBeatFileBytes(folder.filePath("cut short"), kWorkedExample.first(98)));
    ASSERT_TRUE(QDir(folder.path()).mkdir("a folder"));
    c.HScroll1->setValue(1);
    const auto rewound = state();
    for (const char* name : {"bad interval", "cut short", "a folder", "missing"}) {
        c.HScroll1->setValue(9);
        seen.clear();
        load(folder.filePath(name));
        EXPECT_EQ(state(), rewound) << name;
        EXPECT_EQ(seen, (std::vector<std::string>{kAsked, kNotLoaded})) << name;
    }
}

}  // namespace
}  // namespace trovik
