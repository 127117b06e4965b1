#include "sample_browser.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "browser_fixture.h"
#include "path_rules.h"
#include "volumes.h"

namespace trovik {
namespace {

using testing::entryOf;
using testing::entryPaths;
using testing::listedNames;
using testing::makeFile;
using testing::userClicks;
using testing::userOpens;

// A sample folder with mixed-case, hidden and other files, and the lists
// started on it as on a program started there.
class SampleBrowserTest : public ::testing::Test {
  protected:
    SampleBrowserTest() {
        window.setGeometry(0, 0, 500, 100);
        Drive1->setGeometry(0, 0, 138, 21);
        Dir1->setGeometry(140, 0, 117, 62);
        File1->setGeometry(260, 0, 100, 45);
        QObject::connect(Drive1, &DriveListBox::Change, [this] { browser.Drive1_Change(); });
        QObject::connect(File1, &FileListBox::Click, [this] { browser.File1_Click(); });
        window.show();
    }

    static QString makeTree(const QString& root) {
        QDir dir(root);
        for (const char* name :
             {"Kick.WAV", "snare.wav", "zap.Wav", ".hidden.wav", "notes.txt", "loop.wav.bak"}) {
            makeFile(dir.filePath(name));
        }
        for (const char* name : {"sounds", "Beta", "dir.wav", ".cache"}) dir.mkdir(name);
        makeFile(dir.filePath("sounds/B.wav"));
        makeFile(dir.filePath("sounds/a.wav"));
        return root;
    }

    QString at(const QString& name) const { return joinPath(root, name); }
    void tick() { browser.Timer4_Timer(); }
    void chooseDrive(const QString& designator) {
        Drive1->addItem(designator, designator);
        Drive1->setCurrentIndex(Drive1->count() - 1);
    }

    QTemporaryDir tree;
    testing::WorkingDirectory startedIn{makeTree(tree.path())};
    const QString root = workingDirectory();
    QWidget window;
    DriveListBox* Drive1 = new DriveListBox(&window);
    DirListBox* Dir1 = new DirListBox(&window);
    FileListBox* File1 = new FileListBox(&window);
    QLabel* Label7 = new QLabel(&window);
    SampleBrowser browser{{*Drive1, *Dir1, *File1, *Label7}};
};

TEST_F(SampleBrowserTest, StartsOnTheWorkingDirectoryWithNoSampleChosen) {
    EXPECT_EQ(Drive1->Drive(), driveOf(root));
    EXPECT_EQ(Dir1->Path(), root);
    EXPECT_EQ(File1->Path(), root);
    EXPECT_EQ(listedNames(*File1), QStringList({"Kick.WAV", "snare.wav", "zap.Wav"}));
    EXPECT_EQ(File1->ListIndex(), -1);
    EXPECT_TRUE(Label7->text().isEmpty());

    QStringList expected = pathChain(driveOf(root), root);
    expected << at("Beta") << at("dir.wav") << at("sounds");
    EXPECT_EQ(entryPaths(*Dir1), expected);
    EXPECT_EQ(Dir1->currentItem(), entryOf(*Dir1, root));
}

TEST_F(SampleBrowserTest, ADirectoryOpenedInDir1ReachesFile1OnTheNextTickAndStaysOpen) {
    userOpens(*Dir1, at("sounds"));
    EXPECT_EQ(Dir1->Path(), at("sounds"));
    EXPECT_EQ(File1->Path(), root);

    tick();
    EXPECT_EQ(Dir1->Path(), at("sounds"));
    EXPECT_EQ(File1->Path(), at("sounds"));
    EXPECT_EQ(listedNames(*File1), QStringList({"a.wav", "B.wav"}));

    Dir1->setCurrentItem(entryOf(*Dir1, root));
    QTest::keyClick(Dir1, Qt::Key_Return);
    EXPECT_EQ(Dir1->Path(), root);
}

TEST_F(SampleBrowserTest, AClickPutsTheFullPathInLabel7AndLaterBrowsingLeavesIt) {
    userClicks(*File1, "snare.wav");
    EXPECT_EQ(Label7->text(), at("snare.wav"));

    userOpens(*Dir1, at("sounds"));
    tick();
    chooseDrive(at("Beta"));
    tick();
    EXPECT_EQ(File1->Path(), at("Beta"));
    EXPECT_EQ(Label7->text(), at("snare.wav"));
}

TEST_F(SampleBrowserTest, AClickBeforeTheTickJoinsTheNewDirectoryWithTheListedName) {
    userOpens(*Dir1, at("sounds"));
    userClicks(*File1, "Kick.WAV");
    EXPECT_EQ(Label7->text(), joinPath(at("sounds"), "Kick.WAV"));
}

TEST_F(SampleBrowserTest, MovingTheSelectionWithTheKeyboardChoosesTheFile) {
    File1->setFocus();
    QTest::keyClick(File1, Qt::Key_Down);
    QTest::keyClick(File1, Qt::Key_Down);
    EXPECT_EQ(Label7->text(), at("snare.wav"));
}

TEST_F(SampleBrowserTest, TicksOnAnUnchangedDirectoryKeepTheSelectionAndReadNothing) {
    userClicks(*File1, "zap.Wav");
    makeFile(at("new.wav"));
    for (int i = 0; i < 3; ++i) tick();
    EXPECT_EQ(File1->ListIndex(), 2);
    EXPECT_EQ(listedNames(*File1), QStringList({"Kick.WAV", "snare.wav", "zap.Wav"}));
}

TEST_F(SampleBrowserTest, AChosenDriveReachesDir1AtOnceAndFile1OnTheNextTick) {
    chooseDrive(at("sounds"));
    EXPECT_EQ(Dir1->Path(), at("sounds"));
    EXPECT_EQ(File1->Path(), root);
    tick();
    EXPECT_EQ(File1->Path(), at("sounds"));
}

TEST_F(SampleBrowserTest, AVanishedDirectoryKeepsTheListsAndIsNotReadAgainOnEveryTick) {
    userOpens(*Dir1, at("sounds"));
    tick();
    ASSERT_TRUE(QDir(at("sounds")).removeRecursively());
    tick();
    EXPECT_EQ(Dir1->Path(), at("sounds"));
    EXPECT_EQ(listedNames(*File1), QStringList({"a.wav", "B.wav"}));

    chooseDrive(at("gone"));
    tick();
    EXPECT_EQ(Dir1->Path(), at("sounds"));
    EXPECT_EQ(File1->Path(), at("sounds"));

    // Ticks do not try it again; the user's next move does.
    QDir(root).mkdir("gone");
    tick();
    EXPECT_EQ(Dir1->Path(), at("sounds"));
    userOpens(*Dir1, root);
    tick();
    EXPECT_EQ(Dir1->Path(), at("gone"));
    EXPECT_EQ(File1->Path(), at("gone"));

    chooseDrive(at("notes.txt"));
    tick();
    EXPECT_EQ(Dir1->Path(), at("gone"));
}

}  // namespace
}  // namespace trovik
