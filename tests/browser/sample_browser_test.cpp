// SPDX-License-Identifier: GPL-3.0-or-later
// The effect sample browser: the path rules, the choice of volumes, the
// lists reading folders off the user-interface thread, the three lists and
// Label7 worked with the mouse, and the effect track playing what they chose.
#include "browser/sample_browser.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <map>
#include <mutex>

#include "browser/path_rules.h"
#include "browser/volumes.h"
#include "sequencer/beat_model.h"
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

// Runs the event loop until `done` holds. The bound is only there so that a
// fault fails the test instead of hanging it; no working run comes near it.
constexpr int kFaultBoundMs = 30000;
template <typename Done>
bool eventually(Done done) {
    return QTest::qWaitFor(done, kFaultBoundMs);
}

// Stands in for the disk: lists the folders of `tree` (any other cannot be
// read) and holds each reading at a gate until the test lets that folder
// through. It notes of each folder when a reading started and returned and
// whether it was told to stop; a list that read on the calling thread would
// wait at the gate for the test, which waits for it: the bound turns that
// into a failure. Everything is let through when it goes, so that no
// worker is left waiting.
class GatedDisk {
  public:
    explicit GatedDisk(const std::map<QString, QStringList>& tree) {
        for (const auto& [folder, names] : tree) state_->folders[folder].names = names;
    }
    ~GatedDisk() {
        change([](State& state) { state.everything = true; });
    }

    DirectoryReader::ReadNames reader() const {
        return [state = state_](const QString& folder, std::stop_token stop) {
            std::unique_lock lock(state->mutex);
            Folder& read = state->folders[folder];
            read.started = true;
            read.stop = stop;
            state->changed.notify_all();
            state->changed.wait_for(lock, std::chrono::milliseconds(kFaultBoundMs),
                                    [&] { return state->everything || read.open; });
            read.returned = true;
            state->changed.notify_all();
            return read.names;
        };
    }
    void letThrough(const QString& folder) {
        change([&](State& state) { state.folders[folder].open = true; });
    }
    // Waits, without running the event loop, until a reading of `folder`
    // has started, or returned.
    bool waitUntilStarted(const QString& folder) { return waitFor(folder, &Folder::started); }
    bool waitUntilReturned(const QString& folder) { return waitFor(folder, &Folder::returned); }
    bool lastReadingToldToStop(const QString& folder) const {
        const std::lock_guard lock(state_->mutex);
        return state_->folders[folder].stop.stop_requested();
    }

  private:
    struct Folder {
        std::optional<QStringList> names;
        std::stop_token stop;
        bool open = false, started = false, returned = false;
    };
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::map<QString, Folder> folders;
        bool everything = false;
    };

    void change(const std::function<void(State&)>& what) {
        const std::lock_guard lock(state_->mutex);
        what(*state_);
        state_->changed.notify_all();
    }
    bool waitFor(const QString& folder, bool Folder::*happened) {
        std::unique_lock lock(state_->mutex);
        return state_->changed.wait_for(lock, std::chrono::milliseconds(kFaultBoundMs),
                                        [&] { return state_->folders[folder].*happened; });
    }

    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// A file list and a directory list over the gated disk, their first reading
// (of the working directory) let through.
class ListingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        disk.letThrough(start);
        ASSERT_TRUE(eventually([this] { return File1.Path() == start && Dir1.Path() == start; }));
    }

    const QString start = workingDirectory();
    GatedDisk disk{{{start, {"start.wav"}},
                    {"/old", {"old.wav"}},
                    {"/new", {"new.wav"}},
                    {"/slow", {"slow.wav"}},
                    {"/other", {"other.wav"}}}};
    FileListBox File1{nullptr, disk.reader()};
    DirListBox Dir1{nullptr, disk.reader()};
    std::vector<QString> shown;
};

// The readings are held at the gate, so setPath cannot have waited for them.
// One list at a time, so that one worker thread would do.
TEST_F(ListingTest, AReadingOvertakenByANewerRequestIsNeverShown) {
    QObject::connect(&File1, &FileListBox::PathChange, [this] { shown.push_back(File1.Path()); });
    // Read to the end, its result on its way, when the newer request comes.
    File1.setPath("/old");
    disk.letThrough("/old");
    ASSERT_TRUE(disk.waitUntilReturned("/old"));
    File1.setPath("/new");
    disk.letThrough("/new");
    ASSERT_TRUE(eventually([this] { return File1.Path() == "/new"; }));

    // Asked back for the folder it shows while reading another, it drops
    // that reading at once and tells it to stop.
    File1.setPath("/slow");
    ASSERT_TRUE(disk.waitUntilStarted("/slow"));
    EXPECT_TRUE(File1.isReading());
    EXPECT_EQ(File1.Path(), "/new") << "the old folder stays until the new one is read";
    EXPECT_EQ(listedNames(File1), QStringList({"new.wav"}));
    File1.setPath("/new");
    EXPECT_FALSE(File1.isReading());
    EXPECT_TRUE(disk.lastReadingToldToStop("/slow"));
    disk.letThrough("/slow");
    ASSERT_TRUE(disk.waitUntilReturned("/slow"));

    File1.setPath("/other");
    disk.letThrough("/other");
    ASSERT_TRUE(eventually([this] { return File1.Path() == "/other"; }));
    EXPECT_EQ(shown, std::vector<QString>({"/new", "/other"}));
    EXPECT_EQ(listedNames(File1), QStringList({"other.wav"}));
}

// A list that goes away does not wait for a reading held at the gate (it
// would hang here), tells it to stop, and what the reading finds later
// reaches nothing.
TEST_F(ListingTest, ListsGoAwayWithoutWaitingForTheirReading) {
    const auto goesAway = [this](auto* list, const QString& folder) {
        list->setPath(folder);
        ASSERT_TRUE(disk.waitUntilStarted(folder));
        delete list;
        EXPECT_TRUE(disk.lastReadingToldToStop(folder));
        disk.letThrough(folder);
        ASSERT_TRUE(disk.waitUntilReturned(folder));
    };
    goesAway(new FileListBox(nullptr, disk.reader()), "/held");
    goesAway(new DirListBox(nullptr, disk.reader()), "/held too");
    QCoreApplication::sendPostedEvents();
}

// Qt paints large areas in parts on its global thread pool while the
// window's thread waits for them: a reading never takes one of its threads,
// so it goes on while every one of them is busy.
TEST_F(ListingTest, AReadingGoesOnWhileQtsGlobalPoolIsBusy) {
    std::promise<void> go;
    const std::shared_future<void> busy = go.get_future().share();
    QThreadPool& global = *QThreadPool::globalInstance();
    for (int thread = 0; thread < global.maxThreadCount(); ++thread)
        global.start([busy] { busy.wait_for(std::chrono::milliseconds(kFaultBoundMs)); });
    File1.setPath("/new");
    disk.letThrough("/new");
    EXPECT_TRUE(eventually([this] { return File1.Path() == "/new"; }));
    go.set_value();
    global.waitForDone();
}

// The user opens the entry of `path` in the directory list (the end-to-end
// test double-clicks it), or clicks `name` in the file list.
void userOpens(DirListBox& Dir1, const QString& path) {
    for (int row = 0; row < Dir1.count(); ++row)
        if (Dir1.List(row) == path) Dir1.setCurrentRow(row);
    QTest::keyClick(&Dir1, Qt::Key_Return);
}
void userClicks(FileListBox& File1, const QString& name) {
    int row = 0;
    while (row < File1.count() && File1.List(row) != name) ++row;
    ASSERT_LT(row, File1.count()) << name.toStdString();
    File1.scrollTo(File1.model()->index(row, 0));
    QTest::mouseClick(File1.viewport(), Qt::LeftButton, {}, File1.entryRect(row).center());
}

// The lists have read what they were asked for and the sync has run.
bool settled(const SampleBrowser& browser, const DirListBox& Dir1, const FileListBox& File1) {
    return !Dir1.isReading() && !File1.isReading() && !browser.Timer4().isActive() &&
           File1.Path() == Dir1.Path();
}

// Makes `directory` the working directory while it lives, so that lists
// created meanwhile start there.
struct WorkingDirectory {
    explicit WorkingDirectory(const QString& directory) { QDir::setCurrent(directory); }
    ~WorkingDirectory() { QDir::setCurrent(previous); }
    QString previous = QDir::currentPath();
};

const char* const kOddNames[] = {"b>.wav", "-dash.wav", " say \"hi\", it's .wav",
                                 "ñandú ∑ 鼓 🥁.wav"};

// The lists, started on a sample folder as on a program started there,
// reading the real disk.
class SampleBrowserTest : public ::testing::Test {
  protected:
    SampleBrowserTest() {
        File1->setGeometry(260, 0, 100, 45);
        QObject::connect(Drive1, &DriveListBox::Change, [this] { browser.Drive1_Change(); });
        QObject::connect(File1, &FileListBox::Click, [this] { browser.File1_Click(); });
        QObject::connect(&browser, &SampleBrowser::samplePicked,
                         [this](const QString& path) { picked << path; });
        window.show();
    }
    void SetUp() override {
        ASSERT_TRUE(eventually([this] { return settled() && File1->Path() == root; }));
    }
    // Beside the samples, files with names as the file system has them
    // (markup, quotes, blanks, a leading dash, any script) in the folder
    // "<b>kick<", made before the lists first read the folder.
    static QString makeTree(const QString& root) {
        for (const char* name : {"sounds", "dir.wav", "<b>kick<"}) QDir(root).mkdir(name);
        for (const char* name : {"Kick.WAV", "snare.wav", "zap.Wav", ".hidden.wav", "a.txt",
                                 "b.wav.bak", "sounds/B.wav", "sounds/a.wav"})
            QFile(QDir(root).filePath(name)).open(QIODevice::WriteOnly);
        for (const char* name : kOddNames)
            QFile(QDir(root).filePath("<b>kick</" + QString::fromUtf8(name)))
                .open(QIODevice::WriteOnly);
        return root;
    }
    QString at(const QString& name) const { return joinPath(root, name); }
    bool settled() const { return trovik::settled(browser, *Dir1, *File1); }
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
    SampleBrowser browser{{*Drive1, *Dir1, *File1}};
    QStringList picked;  // what the browser said was picked, in order
};

// The file list holds the folder's WAV files whatever their case, sorted
// without regard to case, but no hidden file and no folder named like one.
// A click says the full path once; browsing says nothing. Timer4 ticks after
// each change and sleeps in between.
TEST_F(SampleBrowserTest, AnOpenedFolderAndAChosenDriveReachFile1AndAPickStays) {
    EXPECT_EQ(listedNames(*File1), QStringList({"Kick.WAV", "snare.wav", "zap.Wav"}));
    userClicks(*File1, "snare.wav");
    EXPECT_EQ(picked, QStringList{at("snare.wav")});

    userOpens(*Dir1, at("sounds"));
    ASSERT_TRUE(eventually([this] { return File1->Path() == at("sounds"); }));
    EXPECT_EQ(Dir1->Path(), at("sounds"));
    EXPECT_EQ(listedNames(*File1), QStringList({"a.wav", "B.wav"}));
    EXPECT_FALSE(browser.Timer4().isActive()) << "nothing is polled";

    chooseDrive(root);
    EXPECT_TRUE(browser.Timer4().isActive());
    ASSERT_TRUE(eventually([this] { return File1->Path() == root; }));
    EXPECT_EQ(Dir1->Path(), root);
    EXPECT_FALSE(browser.Timer4().isActive()) << "nothing is polled";
    EXPECT_EQ(picked, QStringList{at("snare.wav")});
}

// It is tried again only after the user opens another folder or picks another drive.
TEST_F(SampleBrowserTest, AFolderThatCannotBeReadKeepsTheListsAndIsNotReadOnEveryTick) {
    userOpens(*Dir1, at("sounds"));
    ASSERT_TRUE(eventually([this] { return File1->Path() == at("sounds"); }));
    ASSERT_TRUE(QDir(at("sounds")).removeRecursively());
    chooseDrive(at("gone"));
    ASSERT_TRUE(eventually([this] { return settled(); }));
    EXPECT_EQ(Dir1->Path(), at("sounds"));
    EXPECT_EQ(File1->Path(), at("sounds"));
    EXPECT_EQ(listedNames(*File1), QStringList({"a.wav", "B.wav"}));

    QDir(root).mkdir("gone");
    browser.Timer4_Timer();
    EXPECT_FALSE(Dir1->isReading());
    userOpens(*Dir1, root);
    ASSERT_TRUE(eventually([this] { return File1->Path() == at("gone"); }));
    EXPECT_EQ(Dir1->Path(), at("gone"));
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

// Names as the file system has them: markup, quotes, blanks, a leading dash,
// any script. In the main window, its lists read on their own, the model
// keeps the path, Label7 shows it as it is, not as markup, and the effect
// track is handed the bytes that name the file.
TEST_F(SampleBrowserTest, AnyNameReachesTheEffectTrackAsTheBytesThatNameTheFile) {
    SequencerLink link;
    BeatModel beat{link};
    Form1 form{beat};
    const FormControls& controls = form.controls();
    form.show();
    const QString folder = at("<b>kick<");
    const auto formShows = [&](const QString& path) {
        return eventually([&] {
            return trovik::settled(form.sampleBrowser(), *controls.Dir1, *controls.File1) &&
                   controls.File1->Path() == path;
        });
    };
    ASSERT_TRUE(formShows(root));
    userOpens(*controls.Dir1, folder);
    ASSERT_TRUE(formShows(folder));
    for (const char* name : kOddNames) {
        userClicks(*controls.File1, QString::fromUtf8(name));
        const QString path = joinPath(folder, QString::fromUtf8(name));
        EXPECT_EQ(controls.Label7->text(), path);
        EXPECT_GE(controls.Label7->sizeHint().width(),
                  controls.Label7->fontMetrics().horizontalAdvance(path))
            << "every character shown, none taken for markup";
        EXPECT_EQ(beat.effectPath(), path);
        const std::string played = fileSystemName(path);
        EXPECT_EQ(::access(played.c_str(), R_OK), 0) << played;
    }
}

}  // namespace
}  // namespace trovik
