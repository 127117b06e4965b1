// SPDX-License-Identifier: GPL-3.0-or-later
// The beat file: the .tbk bytes in and out, the storage under a full disk,
// in a folder that takes no new files and given names that are no plain
// files, and Save and Load on the window's controls, with the dialogs
// answered by the test.
#include "beatfile/beat_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <array>
#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "beatfile/beat_file_commands.h"
#include "beatfile/beat_file_storage.h"
#include "beatfile/windows1252.h"
#include "sequencer/beat_model.h"
#include "tests/sequencer/step_recorder.h"
#include "ui/form_controls.h"

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

BeatValues workedExample() {
    BeatValues beat{"Beat name here", "Author", "Info", 150, {}};
    for (const int n : kWorkedExampleCells) beat.cells[n - kFirstCellNumber] = "O";
    return beat;
}

QByteArray replaced(const QByteArray& from, const QByteArray& to) {
    return QByteArray(kWorkedExample).replace(from, to);
}

TEST(BeatFileReader, WritesTheWorkedExampleAndFollowsTheFieldRulesAndItsLenientChoices) {
    EXPECT_EQ(writeBeatFile(workedExample()), kWorkedExample);
    // Fields end at a comma or at any line end, whatever line they stand on;
    // an empty line is an empty field; blanks around a field and whatever
    // follows a closing quote are ignored; nothing after field 52 is read.
    // The last field may end at the end of the file instead, an empty one
    // too: the comma or line end before it starts it.
    for (const QByteArray& file :
         {kWorkedExample, replaced("\r\n", "\n"), replaced("\r\n", "\r"), replaced(",", "\r\n"),
          replaced("\"\"\r\n\"\",", "\r\n\r\n"), replaced("\"Author\",", " \t\"Author\"junk  ,"),
          kWorkedExample + "\"never read", kWorkedExample.first(189),
          kWorkedExample.first(189) + "  ", kWorkedExample.first(186) + "\r\n"}) {
        EXPECT_EQ(readBeatFile(file).beat, workedExample()) << file.toStdString();
    }
    BeatValues lastCellOn = workedExample();
    lastCellOn.cells.back() = "O";
    for (const char* last : {"\"O\"", "O", " O\t"})
        EXPECT_EQ(readBeatFile(kWorkedExample.first(189) + last).beat, lastCellOn) << last;
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
    // or a little later, in a quote never closed, and before the last field,
    // which the file must hold (0: the file reads).
    const std::pair<int, int> cuts[] = {{0, 1},   {12, 1},  {38, 2},  {50, 2},  {65, 3},
                                        {77, 3},  {98, 4},  {110, 4}, {131, 5}, {143, 5},
                                        {162, 6}, {174, 6}, {186, 6}, {190, 6}, {191, 0}};
    for (const auto& [cut, group] : cuts) {
        const BeatFileReading reading = readBeatFile(kWorkedExample.first(cut));
        EXPECT_EQ(reading.beat ? 0 : reading.failedGroup, group) << cut;
    }
}

// The code page against its published table: every byte to its character
// and back, bytes 80 to 9F to the table's, the others to their own
// numbers; a character it has no byte for refused.
TEST(Windows1252, EveryByteReadsAndWritesAsItsOwnCharacter) {
    const char16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                               0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                               0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                               0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    for (int byte = 0; byte < 256; ++byte) {
        const QChar character = byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : char16_t(byte);
        const QByteArray bytes(1, static_cast<char>(byte));
        EXPECT_EQ(fromWindows1252(bytes), QString(character)) << byte;
        EXPECT_EQ(toWindows1252(QString(character)), bytes) << byte;
    }
    for (const char16_t none : {0x0080, 0x0093, 0x009F, 0x0100, 0x20AD, 0xFFFD})
        EXPECT_EQ(toWindows1252(QString(QChar(none))), std::nullopt) << int{none};
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// A write the file system refuses part way, as on a full disk (here the
// file size limit, which any user may lower), leaves the old file byte for
// byte. In a folder that takes no new files the file is written in place
// (root may write anywhere, so that save runs with an ordinary user's
// rights). Neither leaves a temporary file behind.
TEST(BeatFileStorage, AFailedWriteLeavesTheOldFileAndAClosedFolderIsWrittenInPlace) {
    QTemporaryDir folder;
    const QString target = folder.filePath("beat.tbk");
    ASSERT_TRUE(saveBeatFileBytes(target, "the old beat"));
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit small = before;
    small.rlim_cur = 64 * 1024;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const QByteArray big(256 * 1024, 'x');
    EXPECT_FALSE(saveBeatFileBytes(target, big));
    EXPECT_FALSE(saveBeatFileBytes(folder.filePath("new.tbk"), big));
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(loadBeatFileBytes(target), "the old beat");

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

// A named pipe holding bytes nobody has read yet, a link to it and a
// folder, made in a fresh folder; the pipe stays open for reading and writing here, so
// that its bytes can be checked afterwards and no open of it ever waits.
class NotPlainFiles : public ::testing::Test {
  protected:
    NotPlainFiles() {
        const QByteArray pipeName = QFile::encodeName(pipe);
        EXPECT_EQ(::mkfifo(pipeName.constData(), 0666), 0);
        pipeEnds = ::open(pipeName.constData(), O_RDWR | O_NONBLOCK);
        EXPECT_EQ(::write(pipeEnds, "unread", 6), 6);
        EXPECT_TRUE(QDir(folder.path()).mkdir("a folder"));
        EXPECT_TRUE(QFile::link(pipe, linkToPipe));
    }
    ~NotPlainFiles() override { ::close(pipeEnds); }
    QStringList names() const {
        return {pipe, linkToPipe, folder.filePath("a folder"), "/dev/zero", "/dev/random"};
    }
    // Neither read nor written, nor replaced by anything else.
    void expectUntouched() {
        char bytes[64] = {};
        EXPECT_EQ(::read(pipeEnds, bytes, sizeof bytes), 6);
        EXPECT_EQ(QByteArray(bytes, 6), "unread");
        struct stat facts {};
        EXPECT_EQ(::lstat(QFile::encodeName(pipe).constData(), &facts), 0);
        EXPECT_TRUE(S_ISFIFO(facts.st_mode));
    }

    QTemporaryDir folder;
    const QString pipe = folder.filePath("pipe.tbk");
    const QString linkToPipe = folder.filePath("link.tbk");
    int pipeEnds = -1;
};

// Stands in for the dialogs: answers the file name prompt with `answer`
// (Cancel when it is empty) and notes every question and message.
class ScriptedDialogs : public BeatFileDialogs {
  public:
    QString prompt(const QString& question, const QString& entry) override {
        seen.push_back((question + " / " + entry).toStdString());
        return answer;
    }
    void messageBox(const QString& text) override { seen.push_back(text.toStdString()); }

    QString answer;
    std::vector<std::string> seen;
};

// Save and Load on the beat model and the window's text boxes, beside names
// that are no plain files. The step clock is walked by hand to move the position.
class BeatFileCommandsTest : public NotPlainFiles {
  protected:
    static constexpr int kRate = 1000;  // a frame a millisecond

    void save() { commands.Command52_Click(); }
    void load(const QString& name) {
        dialogs.answer = name;
        commands.Command51_Click();
    }
    void showCaptions(const std::function<QString(int commandNumber)>& captionOf) {
        std::array<QString, kCellCount> captions;
        for (int n = kFirstCellNumber; n <= kLastCellNumber; ++n)
            captions[static_cast<std::size_t>(n - kFirstCellNumber)] = captionOf(n);
        beat.load(beat.interval(), captions);
    }
    // Walks the step clock from step 1 until it stands at `step`.
    void moveTo(int step) {
        beat.rewind();
        steps.walk(1);  // takes the rewind
        if (beat.interval() == 0) beat.setInterval(150);
        steps.walkUntilPosition(step, beat.interval());
    }
    // A beat unlike the worked example, at step 9.
    void showAnotherBeat() {
        for (const int n : {1, 3, 4}) c.Text[n]->setText("other");
        moveTo(9);
        beat.setInterval(0);
        showCaptions([](int n) { return n % 3 ? QString() : QStringLiteral("O"); });
    }
    // Everything Save and Load read or write.
    std::string state() const {
        QStringList all;
        for (int n = 1; n <= 4; ++n) all << c.Text[n]->text();
        all << QString::number(beat.interval()) << QString::number(beat.position());
        for (int n = kFirstCellNumber; n <= kLastCellNumber; ++n) all << beat.caption(n);
        return all.join(" | ").toStdString();
    }

    QWidget window;
    const FormControls c = createFormControls(window);
    SequencerLink link;
    BeatModel beat{link};
    StepRecorder steps{link, kRate};
    ScriptedDialogs dialogs;
    BeatFileCommands commands{{*c.Text[1], *c.Text[2], *c.Text[3], *c.Text[4], beat}, dialogs};
};

const std::string kAsked = "Enter the filename. / mybeat.tbk";
const std::string kNotSaved = "An error occured, and the file was not saved.";
const std::string kNotLoaded = "An error occured, and the file was not loaded.";

TEST_F(BeatFileCommandsTest, SavesTheWorkedExampleAsShown) {
    showCaptions([](int n) { return workedExample().cells[n - kFirstCellNumber]; });
    c.Text[2]->setText(folder.filePath("worked.tbk"));
    const auto shown = state();
    save();
    EXPECT_EQ(loadBeatFileBytes(folder.filePath("worked.tbk")), kWorkedExample);
    EXPECT_EQ(state(), shown);
}

// Load gives back what Save wrote: odd texts and captions, texts of 100,000
// characters (far beyond a line edit's usual limit), under names used as typed, with whatever
// characters the file system takes, naming the file by the bytes the file system knows it by. A
// relative name is taken from the working folder, even one that Qt would take for a resource.
TEST_F(BeatFileCommandsTest, SaveAndLoadGiveBackWhatWasSavedUnderAnyName) {
    const QStringList names{":round.tbk",
                            QString::fromUtf8("ñandú ∑ 鼓 🥁.tbk"),
                            "-beat.tbk",
                            " two  words .tbk",
                            "say \"hi\", it's.tbk",
                            "<b>kick<b>.tbk",
                            "back\\slash.tbk"};
    const QString captions[] = {
        "O", "", "007", ",", "two words", "#NULL#", "a\r\nb", QChar(0x81), QString(40'000, u'O')};
    const QString startedIn = QDir::currentPath();
    const auto goBack = qScopeGuard([&startedIn] { QDir::setCurrent(startedIn); });
    QDir::setCurrent(folder.path());
    for (const QString& name : names) {
        c.Text[1]->setText(QString::fromUtf8("Niño, 2 € ‰ Ÿ ") + QString::number(name.size()));
        c.Text[3]->setText(QString(100'000, u'\t'));
        c.Text[4]->setText(" 007, spaced ");
        beat.setInterval(999);
        showCaptions([&](int n) { return captions[(n + name.size()) % std::size(captions)]; });
        beat.rewind();
        c.Text[2]->setText(name);
        const auto saved = state();
        save();
        const QByteArray onDisk = QFile::encodeName(folder.path() + "/" + name);
        EXPECT_EQ(::access(onDisk.constData(), R_OK), 0) << onDisk.toStdString();
        showAnotherBeat();
        load(name);
        EXPECT_EQ(state(), saved) << onDisk.toStdString();
    }
    EXPECT_EQ(entriesOf(folder.path()).size(), names.size() + 3);  // and the fixture's three
    EXPECT_EQ(dialogs.seen, std::vector<std::string>(names.size(), kAsked));
}

// A text that would not read back is refused before anything is written.
TEST_F(BeatFileCommandsTest, EveryFailedSaveShowsTheMessageAndLeavesTheDiskAlone) {
    const QString existing = folder.filePath("existing.tbk");
    ASSERT_TRUE(saveBeatFileBytes(existing, "old"));
    c.Text[2]->setText(existing);
    for (const QString& bad : {QString("say \"hi\""), QString::fromUtf8("鼓"),
                               QString::fromUtf8("🥁"), QString(QChar(0x80))}) {
        for (const int n : {1, 3, 4}) {
            const QString kept = c.Text[n]->text();
            c.Text[n]->setText(bad);
            save();
            c.Text[n]->setText(kept);
        }
        showCaptions([&bad](int n) { return n == 40 ? bad : QString(); });
        save();
        beat.load(beat.interval(), {});
    }
    const QStringList before = entriesOf(folder.path());
    for (const QString& name :
         QStringList{"", folder.filePath("no such folder/beat.tbk"), folder.path(), "/dev/null"} +
             names().mid(0, 3)) {
        c.Text[2]->setText(name);
        save();
    }
    EXPECT_EQ(dialogs.seen, std::vector<std::string>(23, kNotSaved));
    EXPECT_EQ(loadBeatFileBytes(existing), "old");
    EXPECT_EQ(entriesOf(folder.path()), before);
    expectUntouched();
}

// Cancel changes nothing; a load that fails anywhere shows nothing of the
// file and only rewinds to step 1.
TEST_F(BeatFileCommandsTest, CancelChangesNothingAndAFailedLoadOnlyRewinds) {
    showAnotherBeat();
    const auto shown = state();
    load("");
    EXPECT_EQ(state(), shown);
    EXPECT_EQ(dialogs.seen, std::vector<std::string>{kAsked});
    ASSERT_TRUE(saveBeatFileBytes(folder.filePath("bad interval"), replaced("150", "fast")));
    ASSERT_TRUE(saveBeatFileBytes(folder.filePath("cut short"), kWorkedExample.first(98)));
    beat.rewind();
    const auto rewound = state();
    for (const QString& name :
         QStringList{folder.filePath("bad interval"), folder.filePath("cut short"),
                     folder.filePath("missing")} +
             names()) {
        moveTo(9);
        beat.setInterval(0);
        dialogs.seen.clear();
        load(name);
        EXPECT_EQ(state(), rewound) << name.toStdString();
        EXPECT_EQ(dialogs.seen, (std::vector<std::string>{kAsked, kNotLoaded}))
            << name.toStdString();
    }
    expectUntouched();
}

// Answers the modal dialog that the code under test is about to run, from
// inside its event loop, as soon as it is up.
void answerDialog(const std::function<void(QDialog&)>& answer) {
    QTimer::singleShot(0, [answer] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        dialog ? answer(*dialog) : answerDialog(answer);
    });
}

// The name comes back as typed, quotes and all; Cancel gives nothing, which
// the commands take as "do nothing", not as the suggested name.
TEST(QtBeatFileDialogs, ThePromptGivesTheTypedNameOrNothingOnCancel) {
    QWidget window;
    QtBeatFileDialogs dialogs(window);
    const QString typed = QString::fromUtf8("-ñandú \"1\".tbk");
    answerDialog([&typed](QDialog& dialog) {
        auto* input = qobject_cast<QInputDialog*>(&dialog);
        ASSERT_NE(input, nullptr);
        input->setTextValue(typed);
        input->accept();
    });
    EXPECT_EQ(dialogs.prompt("Enter the filename.", "mybeat.tbk"), typed);
    answerDialog([](QDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(dialogs.prompt("Enter the filename.", "mybeat.tbk"), QString());
}

}  // namespace
}  // namespace trovik
