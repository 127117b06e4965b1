// The effect sample browser: the path rules, the choice of volumes, the three
// lists and Label7 worked with the mouse, and the effect track playing what
// they chose.
#include "browser/sample_browser.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QTest>

#include "browser/path_rules.h"
#include "browser/volumes.h"
#include "tests/support/recording_player.h"
#include "ui/form1.h"

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace trovik {
namespace {

TEST(PathRules, JoinWithExactlyOneSeparatorAndChainOnlyBelowTheRoot) {
    const std::tuple<const char*, char16_t, const char*> joins[] = {
        {"C:\\", u'\\', "C:\\kick.wav"}, {"C:\\Fx", u'\\', "C:\\Fx\\kick.wav"},
        {"/", u'/', "/kick.wav"},        {"/home/ann", u'/', "/home/ann/kick.wav"},
        {"", u'\\', "\\kick.wav"},       {"C:/", u'\\', "C:/\\kick.wav"}};
    for (const auto& [directory, separator, joined] : joins)
        EXPECT_EQ(joinPath(directory, "kick.wav", separator).toStdString(), joined) << directory;
    EXPECT_EQ(pathChain("/", "/home/ann", u'/'), QStringList({"/", "/home", "/home/ann"}));
    EXPECT_EQ(pathChain("/media/stick", "/media/stickers", u'/'), QStringList({"/media/stickers"}));
}

// Each volume as "root type".
TEST(BrowsableVolume, ListsWhatAPersonKeepsFilesOnAndNothingOfTheSystem) {
    const auto browsable = [](const QString& v) {
        return isBrowsableVolume({v.section(' ', 0, 0), v.section(' ', 1).toLatin1(), true},
                                 "/home");
    };
    for (const char* v : {"/ ext4", "/home btrfs", "/media/ann/STICK vfat",
                          "/run/media/ann/CARD exfat", "/mnt/backup ntfs3", "/Volumes/Samples apfs",
                          "/srv/share nfs4", "/net/studio cifs", "C:\\ NTFS"})
        EXPECT_TRUE(browsable(v)) << v;
    for (const char* v : {"/proc proc", "/sys/fs/cgroup cgroup2", "/run/user/1000 tmpfs",
                          "/boot/efi vfat", "/media-old ext4"})
        EXPECT_FALSE(browsable(v)) << v;
    EXPECT_FALSE(isBrowsableVolume({"/media/ann/DVD", "udf", false}, "/home"));
}

QStringList listedNames(const FileListBox& File1) {
    QStringList names;
    for (int row = 0; row < File1.count(); ++row) names << File1.List(row);
    return names;
}

// The user opens the entry of `path` in the directory list (the end-to-end
// test double-clicks it), or clicks `name` in the file list.
void userOpens(DirListBox& Dir1, const QString& path) {
    for (int row = 0; row < Dir1.count(); ++row)
        if (Dir1.List(row) == path) Dir1.setCurrentRow(row);
    QTest::keyClick(&Dir1, Qt::Key_Return);
}
void userClicks(FileListBox& File1, const QString& name) {
    QListWidgetItem* item = File1.findItems(name, Qt::MatchExactly).value(0);
    ASSERT_NE(item, nullptr) << name.toStdString();
    QTest::mouseClick(File1.viewport(), Qt::LeftButton, {}, File1.visualItemRect(item).center());
}

// Makes `directory` the working directory while it lives, so that lists
// created meanwhile start there.
struct WorkingDirectory {
    explicit WorkingDirectory(const QString& directory) { QDir::setCurrent(directory); }
    ~WorkingDirectory() { QDir::setCurrent(previous); }
    QString previous = QDir::currentPath();
};

// The lists, started on a sample folder as on a program started there, with
// the ticks of Timer4 given by the test.
class SampleBrowserTest : public ::testing::Test {
  protected:
    SampleBrowserTest() {
        File1->setGeometry(260, 0, 100, 45);
        QObject::connect(Drive1, &DriveListBox::Change, [this] { browser.Drive1_Change(); });
        QObject::connect(File1, &FileListBox::Click, [this] { browser.File1_Click(); });
        window.show();
    }
    static QString makeTree(const QString& root) {
        for (const char* name : {"sounds", "dir.wav"}) QDir(root).mkdir(name);
        for (const char* name : {"Kick.WAV", "snare.wav", "zap.Wav", ".hidden.wav", "a.txt",
                                 "b.wav.bak", "sounds/B.wav", "sounds/a.wav"})
            QFile(QDir(root).filePath(name)).open(QIODevice::WriteOnly);
        return root;
    }
    QString at(const QString& name) const { return joinPath(root, name); }
    void tick() { browser.Timer4_Timer(); }
    void chooseDrive(const QString& designator) {
        Drive1->addItem(designator, designator);
        Drive1->setCurrentIndex(Drive1->count() - 1);
    }

    QTemporaryDir tree;
    WorkingDirectory startedIn{makeTree(tree.path())};
    const QString root = workingDirectory();
    QWidget window;
    DriveListBox* Drive1 = new DriveListBox(&window);
    DirListBox* Dir1 = new DirListBox(&window);
    FileListBox* File1 = new FileListBox(&window);
    QLabel* Label7 = new QLabel(&window);
    SampleBrowser browser{{*Drive1, *Dir1, *File1, *Label7}};
};

// The file list holds the folder's WAV files whatever their case, sorted
// without regard to case, but no hidden file and no folder named like one.
// A click puts the full path in Label7, and later browsing leaves it.
TEST_F(SampleBrowserTest, AFolderOpenedInDir1ReachesFile1OnTheNextTickAndAPickStays) {
    EXPECT_EQ(listedNames(*File1), QStringList({"Kick.WAV", "snare.wav", "zap.Wav"}));
    EXPECT_TRUE(Label7->text().isEmpty());
    userClicks(*File1, "snare.wav");
    EXPECT_EQ(Label7->text(), at("snare.wav"));
    userOpens(*Dir1, at("sounds"));
    EXPECT_EQ(Dir1->Path(), at("sounds"));
    EXPECT_EQ(File1->Path(), root);
    tick();
    EXPECT_EQ(listedNames(*File1), QStringList({"a.wav", "B.wav"}));
    tick();
    EXPECT_EQ(Dir1->Path(), at("sounds"));
    chooseDrive(root);
    tick();
    EXPECT_EQ(File1->Path(), root);
    EXPECT_EQ(Label7->text(), at("snare.wav"));
}

// It is tried again only after the user opens another folder or picks another drive.
TEST_F(SampleBrowserTest, AFolderThatCannotBeReadKeepsTheListsAndIsNotReadOnEveryTick) {
    userOpens(*Dir1, at("sounds"));
    tick();
    ASSERT_TRUE(QDir(at("sounds")).removeRecursively());
    tick();
    chooseDrive(at("gone"));
    tick();
    EXPECT_EQ(Dir1->Path(), at("sounds"));
    EXPECT_EQ(File1->Path(), at("sounds"));
    EXPECT_EQ(listedNames(*File1), QStringList({"a.wav", "B.wav"}));

    QDir(root).mkdir("gone");
    tick();
    EXPECT_EQ(Dir1->Path(), at("sounds"));
    userOpens(*Dir1, root);
    tick();
    EXPECT_EQ(File1->Path(), at("gone"));
}

// Started on a volume the list would not offer by itself, the drive list
// keeps it after another drive was picked and the list was read anew.
TEST_F(SampleBrowserTest, TheDriveOfTheStartFolderIsAlwaysListed) {
    const QString startDrive = driveOf(root);
    ASSERT_FALSE(startDrive.isEmpty());
    const QString stick = QStringLiteral("/media/trovik-test-stick");
    DriveListBox drives(&window, [&stick] { return std::vector<DriveEntry>{{stick, stick}}; });
    EXPECT_EQ(drives.Drive(), startDrive);
    drives.setCurrentIndex(drives.findData(stick));
    QComboBox& asTheUserSeesIt = drives;
    asTheUserSeesIt.showPopup();  // lists the drives anew
    asTheUserSeesIt.hidePopup();
    EXPECT_EQ(drives.Drive(), stick);
    EXPECT_GE(drives.findData(startDrive), 0);
}

// The main window, its Timer4 ticked by the test.
class EffectSampleTest : public SampleBrowserTest {
  protected:
    EffectSampleTest() {
        form.Timer4().setInterval(0);
        form.Timer1().setInterval(0);
        controls.Command[cellNumber(Track::Effect, 1)]->click();
        form.show();
    }
    // The paths the effect track hands the player on its step 1.
    std::vector<std::string> playEffectStep() {
        controls.HScroll1->setValue(1);
        form.stepClock().Timer1_Timer();
        return player.takePlayed();
    }
    void pick(const QString& folder, const QString& name) {
        userOpens(*controls.Dir1, folder);
        form.sampleBrowser().Timer4_Timer();
        userClicks(*controls.File1, name);
    }

    // Files with names as the file system has them, made before the lists
    // first read the folder: markup, quotes, blanks, a leading dash, any
    // script. The first is b>.wav in the folder "<b>kick<".
    std::vector<std::pair<QString, QString>> makeOddNames() const {
        QDir(root).mkdir("<b>kick<");
        const std::vector<std::pair<QString, QString>> picks{
            {at("<b>kick<"), "b>.wav"},
            {root, "-dash.wav"},
            {root, " say \"hi\", it's .wav"},
            {root, QString::fromUtf8("ñandú ∑ 鼓 🥁.wav")}};
        for (const auto& [folder, name] : picks)
            QFile(joinPath(folder, name)).open(QIODevice::WriteOnly);
        return picks;
    }

    const std::vector<std::pair<QString, QString>> oddNames = makeOddNames();
    testing::RecordingPlayer player;
    Form1 form{player};
    const FormControls& controls = form.controls();
};

// Names as the file system has them: markup, quotes, blanks, a leading dash,
// any script. Label7 shows them as they are, not as markup, and the player
// is handed the bytes that name the file.
TEST_F(EffectSampleTest, AnyNameReachesThePlayerAsTheBytesThatNameTheFile) {
    for (const auto& [folder, name] : oddNames) {
        pick(folder, name);
        const QString path = joinPath(folder, name);
        EXPECT_EQ(controls.Label7->text(), path);
        EXPECT_GE(controls.Label7->sizeHint().width(),
                  controls.Label7->fontMetrics().horizontalAdvance(path))
            << "every character shown, none taken for markup";
        const std::vector<std::string> played = playEffectStep();
        ASSERT_EQ(played.size(), 1u);
        EXPECT_EQ(played[0], QFile::encodeName(path).toStdString());
        EXPECT_EQ(::access(played[0].c_str(), R_OK), 0) << played[0];
    }
    EXPECT_TRUE(joinPath(oddNames[0].first, oddNames[0].second).endsWith("<b>kick</b>.wav"));
}

}  // namespace
}  // namespace trovik
