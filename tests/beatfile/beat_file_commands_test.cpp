#include "beat_file_commands.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "../support/recording_player.h"
#include "form1.h"
#include "form_controls.h"
#include "worked_example.h"

namespace trovik {
namespace {

using testing::kWorkedExample;
using testing::kWorkedExampleCells;

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Everything Save and Load read or write, as one comparable list.
std::vector<std::string> stateOf(const FormControls& c) {
    std::vector<std::string> state;
    for (int n = 1; n <= 4; ++n)
        state.push_back("Text" + std::to_string(n) + "=" + c.Text[n]->text().toStdString());
    state.push_back("VScroll1=" + std::to_string(c.VScroll1->value()));
    state.push_back("HScroll1=" + std::to_string(c.HScroll1->value()));
    for (int n = kFirstCellNumber; n <= kLastCellNumber; ++n)
        state.push_back(c.Command[n]->text().toStdString());
    return state;
}

BeatPattern patternOf(const FormControls& c) {
    std::array<QAbstractButton*, kCellCount> cells{};
    for (int n = kFirstCellNumber; n <= kLastCellNumber; ++n)
        cells[n - kFirstCellNumber] = c.Command[n];
    return BeatPattern(cells, {c.Label2, c.Label5, c.Label6});
}

class FakeDialogs : public BeatFileDialogs {
  public:
    QString prompt(const QString& question, const QString& entry) override {
        prompts.push_back((question + " / " + entry).toStdString());
        return answer;
    }
    void messageBox(const QString& text) override { messages.push_back(text.toStdString()); }

    QString answer;
    std::vector<std::string> prompts;
    std::vector<std::string> messages;
};

class BeatFileCommandsTest : public ::testing::Test {
  protected:
    QWidget window;
    FormControls c = createFormControls(window);
    BeatPattern pattern = patternOf(c);
    FakeDialogs dialogs;
    BeatFileCommands commands{
        {*c.Text[1], *c.Text[2], *c.Text[3], *c.Text[4], *c.VScroll1, *c.HScroll1, pattern},
        dialogs};
    QTemporaryDir folder;

    void switchOn(std::initializer_list<int> cells) {
        for (const int n : cells) c.Command[n]->setText("O");
    }
    void load(const QString& name) {
        dialogs.answer = name;
        commands.Command51_Click();
    }
    void saveTo(const QString& name) {
        c.Text[2]->setText(name);
        commands.Command52_Click();
    }
    // A beat unlike the worked example, playing at step 9.
    void showAnotherBeat() {
        c.Text[1]->setText("Other");
        c.Text[3]->setText("Someone");
        c.Text[4]->setText("");
        c.VScroll1->setValue(20);
        c.HScroll1->setValue(9);
        for (int n = kFirstCellNumber; n <= kLastCellNumber; ++n)
            c.Command[n]->setText(n % 3 ? "" : "O");
    }
};

const std::string kNotSaved = "An error occured, and the file was not saved.";
const std::string kNotLoaded = "An error occured, and the file was not loaded.";

TEST_F(BeatFileCommandsTest, SavesTheWorkedExampleAndChangesNothingOnScreen) {
    switchOn(kWorkedExampleCells);
    const QString target = folder.filePath("beat.tbk");
    c.Text[2]->setText(target);
    const auto before = stateOf(c);
    commands.Command52_Click();
    EXPECT_EQ(contentOf(target), kWorkedExample);
    EXPECT_EQ(stateOf(c), before);
    EXPECT_TRUE(dialogs.messages.empty());

    for (int n : kWorkedExampleCells) c.Command[n]->setText("");
    commands.Command52_Click();
    EXPECT_EQ(contentOf(target).size(), 187);
}

TEST_F(BeatFileCommandsTest, ADoubleQuoteRefusesTheSaveAndWritesNothing) {
    const QString existing = folder.filePath("existing.tbk");
    writeFile(existing, "old");
    c.Text[3]->setText("The \"Drummer\"");
    saveTo(existing);
    c.Text[3]->setText("Author");
    c.Command[40]->setText("\"");
    saveTo(folder.filePath("new.tbk"));
    EXPECT_EQ(dialogs.messages, std::vector<std::string>(2, kNotSaved));
    EXPECT_EQ(contentOf(existing), "old");
    EXPECT_FALSE(QFile::exists(folder.filePath("new.tbk")));
}

TEST_F(BeatFileCommandsTest, ANameThatCannotBeWrittenShowsTheMessage) {
    for (const QString& name :
         {QString(), folder.filePath("no such folder/beat.tbk"), folder.path()}) {
        dialogs.messages.clear();
        saveTo(name);
        EXPECT_EQ(dialogs.messages, std::vector<std::string>{kNotSaved}) << name.toStdString();
    }
}

TEST_F(BeatFileCommandsTest, LoadsTheWorkedExampleAndRewindsToTheFirstStep) {
    const QString source = folder.filePath("worked.tbk");
    writeFile(source, kWorkedExample);
    QWidget reference;
    FormControls expected = createFormControls(reference);
    for (const int n : kWorkedExampleCells) expected.Command[n]->setText("O");
    expected.Text[2]->setText("keep.tbk");

    showAnotherBeat();
    c.Text[2]->setText("keep.tbk");
    load(source);
    EXPECT_EQ(stateOf(c), stateOf(expected));
    EXPECT_EQ(dialogs.prompts, std::vector<std::string>{"Enter the filename. / mybeat.tbk"});
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(BeatFileCommandsTest, SavingThenLoadingGivesBackTheBeat) {
    c.Text[1]->setText(QString::fromUtf8("Señor, 2 €"));
    c.Text[3]->setText("");
    c.Text[4]->setText(" 007, spaced ");
    c.VScroll1->setValue(999);
    const QString captions[] = {"O", "", "x", "1.50", ",", "&&", "two words"};
    for (int n = kFirstCellNumber; n <= kLastCellNumber; ++n)
        c.Command[n]->setText(captions[n % std::size(captions)]);
    c.HScroll1->setValue(1);
    c.Text[2]->setText(folder.filePath("round.tbk"));
    const auto saved = stateOf(c);
    commands.Command52_Click();

    showAnotherBeat();
    load(folder.filePath("round.tbk"));
    EXPECT_EQ(stateOf(c), saved);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(BeatFileCommandsTest, CancelChangesNothingNotEvenThePosition) {
    showAnotherBeat();
    const auto before = stateOf(c);
    load("");
    EXPECT_EQ(stateOf(c), before);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(BeatFileCommandsTest, AFailedLoadChangesOnlyThePosition) {
    QByteArray wordInterval = kWorkedExample;
    wordInterval.replace("150", "fast");
    QByteArray farInterval = kWorkedExample;
    farInterval.replace("150", "1000");
    QByteArray negativeInterval = kWorkedExample;
    negativeInterval.replace("150", "-1");
    std::vector<std::pair<std::string, std::optional<QByteArray>>> files{
        {"word interval", wordInterval},
        {"interval above 999", farInterval},
        {"negative interval", negativeInterval},
        {"empty file", ""},
        {"last quote open", kWorkedExample.chopped(3)}};
    // Cut short as a failed save would leave it: the first k lines, then
    // half of the next line.
    for (qsizetype lineEnd = kWorkedExample.indexOf('\n'); lineEnd + 1 < kWorkedExample.size();
         lineEnd = kWorkedExample.indexOf('\n', lineEnd + 1)) {
        files.push_back(
            {"cut after byte " + std::to_string(lineEnd + 1), kWorkedExample.first(lineEnd + 1)});
        files.push_back(
            {"cut after byte " + std::to_string(lineEnd + 13), kWorkedExample.first(lineEnd + 13)});
    }
    files.push_back({"no such file", std::nullopt});
    files.push_back({"a folder", std::nullopt});
    ASSERT_TRUE(QDir(folder.path()).mkdir("a folder"));
    for (const auto& [what, bytes] : files) {
        const QString name = folder.filePath(QString::fromStdString(what));
        if (bytes) writeFile(name, *bytes);
        showAnotherBeat();
        c.HScroll1->setValue(1);
        const auto expected = stateOf(c);
        c.HScroll1->setValue(9);
        dialogs.messages.clear();
        load(name);
        EXPECT_EQ(stateOf(c), expected) << what;
        EXPECT_EQ(dialogs.messages, std::vector<std::string>{kNotLoaded}) << what;
    }
}

// Calls `answer` with the next modal dialog once it is open.
void whenADialogOpens(std::function<void(QWidget&)> answer) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer, triesLeft = 500]() mutable {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog && --triesLeft > 0) return;
        poll->stop();
        poll->deleteLater();
        ASSERT_NE(dialog, nullptr) << "no dialog opened";
        answer(*dialog);
    });
    poll->start(10);
}

class BeatFileForm1Test : public ::testing::Test {
  protected:
    testing::RecordingPlayer player;
    HitTime hitTime;
    Form1 form{player, hitTime};
    const FormControls& c = form.controls();
    QTemporaryDir folder;

    void click(int commandNumber) { QTest::mouseClick(c.Command[commandNumber], Qt::LeftButton); }
};

TEST_F(BeatFileForm1Test, SaveAndLoadButtonsWriteAndReadTheWorkedExample) {
    form.show();
    const QString file = folder.filePath("worked.tbk");
    for (const int n : kWorkedExampleCells) click(n);
    c.Text[2]->setText(file);
    click(52);
    EXPECT_EQ(contentOf(file), kWorkedExample);

    const auto saved = stateOf(c);
    for (const int n : {3, 4, 5}) click(n);
    c.Text[1]->setText("changed");
    whenADialogOpens([&file](QWidget& dialog) {
        auto* input = qobject_cast<QInputDialog*>(&dialog);
        ASSERT_NE(input, nullptr);
        EXPECT_EQ(input->windowTitle(), "Trovik Beat Maker");
        EXPECT_EQ(input->labelText(), "Enter the filename.");
        EXPECT_EQ(input->textValue(), "mybeat.tbk");
        EXPECT_EQ(input->windowModality(), Qt::ApplicationModal);
        input->setTextValue(file);
        input->accept();
    });
    click(51);
    auto expected = saved;
    expected[5] = "HScroll1=1";
    EXPECT_EQ(stateOf(c), expected);
}

// The step clock goes on while the prompt is open, so only the beat itself is
// compared here; the fake dialogs show that the position stays too.
TEST_F(BeatFileForm1Test, CancelOnThePromptLeavesTheBeatAlone) {
    form.show();
    click(3);
    c.Text[1]->setText("kept");
    auto before = stateOf(c);
    whenADialogOpens([](QWidget& dialog) { static_cast<QDialog&>(dialog).reject(); });
    click(51);
    auto after = stateOf(c);
    before.erase(before.begin() + 5);
    after.erase(after.begin() + 5);
    EXPECT_EQ(after, before);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(BeatFileForm1Test, AFailedSaveShowsAPlainModalMessageWithOkOnly) {
    form.show();
    c.Text[2]->setText("");
    QString text;
    whenADialogOpens([&text](QWidget& dialog) {
        auto* box = qobject_cast<QMessageBox*>(&dialog);
        ASSERT_NE(box, nullptr);
        text = box->text();
        EXPECT_EQ(box->windowTitle(), "Trovik Beat Maker");
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
        box->button(QMessageBox::Ok)->click();
    });
    click(52);
    EXPECT_EQ(text, "An error occured, and the file was not saved.");
}

}  // namespace
}  // namespace trovik
