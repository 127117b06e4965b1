#include "beat_file_storage.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace trovik {
namespace {

const QByteArray kOldBeat = "the beat that was saved before\r\n";
const QByteArray kNewBeat(300, 'n');

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// A file system of 64 KiB of its own, so the test can fill it up. Mounting
// needs root; without it the file system is not there.
class SmallTmpfs {
  public:
    SmallTmpfs() {
        mounted_ = geteuid() == 0 && folder_.isValid() &&
                   ::mount("tmpfs", QFile::encodeName(folder_.path()).constData(), "tmpfs", 0,
                           "size=64k") == 0;
    }
    ~SmallTmpfs() {
        if (mounted_) ::umount2(QFile::encodeName(folder_.path()).constData(), MNT_DETACH);
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool mounted() const { return mounted_; }
    QString folder() const { return folder_.path(); }
    QString path(const QString& name) const { return folder_.filePath(name); }

    // Writes a file until the file system has no room left.
    void fillUp() const {
        const int fd =
            ::open(QFile::encodeName(path("filler")).constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        const QByteArray block(4096, 'f');
        while (::write(fd, block.constData(), block.size()) > 0) {
        }
        while (::write(fd, block.constData(), 1) > 0) {
        }
        EXPECT_EQ(errno, ENOSPC);
        ::close(fd);
    }

  private:
    QTemporaryDir folder_;
    bool mounted_ = false;
};

// Root may write anywhere: to meet a folder that refuses new files, the
// test takes the rights of an ordinary user for a while.
class AsOrdinaryUser {
  public:
    AsOrdinaryUser() : wasRoot_(geteuid() == 0) {
        constexpr uid_t kNobody = 65534;
        constexpr gid_t kNoGroup = 65534;
        if (wasRoot_) {
            EXPECT_EQ(::setegid(kNoGroup), 0);
            EXPECT_EQ(::seteuid(kNobody), 0);
        }
    }
    ~AsOrdinaryUser() {
        if (wasRoot_) {
            EXPECT_EQ(::seteuid(0), 0);
            EXPECT_EQ(::setegid(0), 0);
        }
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

  private:
    bool wasRoot_;
};

TEST(BeatFileStorage, SavingReplacesTheWholeFileAndLeavesNothingElse) {
    QTemporaryDir folder;
    const QString target = folder.filePath("beat.tbk");
    ASSERT_TRUE(saveBeatFileBytes(target, kNewBeat));
    ASSERT_TRUE(saveBeatFileBytes(target, kOldBeat));
    EXPECT_EQ(contentOf(target), kOldBeat);
    EXPECT_EQ(entriesOf(folder.path()), QStringList{"beat.tbk"});
    EXPECT_EQ(loadBeatFileBytes(target), kOldBeat);
}

TEST(BeatFileStorage, NamesThatCannotBeWrittenOrReadFailAndCreateNothing) {
    QTemporaryDir folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir("a folder"));
    for (const QString& name :
         {QString(), folder.filePath("missing/beat.tbk"), folder.filePath("a folder")}) {
        EXPECT_FALSE(saveBeatFileBytes(name, kNewBeat)) << name.toStdString();
        EXPECT_FALSE(loadBeatFileBytes(name)) << name.toStdString();
    }
    EXPECT_EQ(entriesOf(folder.path()), QStringList{"a folder"});
    EXPECT_TRUE(entriesOf(folder.filePath("a folder")).isEmpty());
}

TEST(BeatFileStorage, NoFileStaysOpenAfterASaveOrALoadWhateverTheOutcome) {
    QTemporaryDir folder;
    const auto openFiles = [] { return entriesOf("/proc/self/fd").size(); };
    const auto before = openFiles();
    EXPECT_TRUE(saveBeatFileBytes(folder.filePath("beat.tbk"), kOldBeat));
    EXPECT_TRUE(loadBeatFileBytes(folder.filePath("beat.tbk")));
    EXPECT_FALSE(saveBeatFileBytes(folder.path(), kOldBeat));
    EXPECT_FALSE(loadBeatFileBytes(folder.path()));
    EXPECT_EQ(openFiles(), before);
}

TEST(BeatFileStorage, ANameStartingWithAColonIsAFileInTheWorkingFolder) {
    QTemporaryDir folder;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    EXPECT_TRUE(saveBeatFileBytes(":beat.tbk", kOldBeat));
    EXPECT_EQ(loadBeatFileBytes(":beat.tbk"), kOldBeat);
    QDir::setCurrent(before);
    EXPECT_EQ(contentOf(folder.path() + "/:beat.tbk"), kOldBeat);
}

TEST(BeatFileStorage, AFullDiskLeavesTheOldFileByteForByte) {
    const SmallTmpfs disk;
    if (!disk.mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
    const QString target = disk.path("beat.tbk");
    ASSERT_TRUE(saveBeatFileBytes(target, kOldBeat));
    disk.fillUp();

    EXPECT_FALSE(saveBeatFileBytes(target, kNewBeat));
    EXPECT_EQ(contentOf(target), kOldBeat);
    EXPECT_FALSE(saveBeatFileBytes(disk.path("new.tbk"), kNewBeat));
    EXPECT_EQ(entriesOf(disk.folder()), (QStringList{"beat.tbk", "filler"}));
}

TEST(BeatFileStorage, WritesInPlaceWhereTheFolderTakesNoNewFiles) {
    QTemporaryDir folder;
    const QString target = folder.filePath("beat.tbk");
    ASSERT_TRUE(saveBeatFileBytes(target, kOldBeat));
    QFile::setPermissions(
        target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther);
    QFile::setPermissions(folder.path(),
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    {
        const AsOrdinaryUser user;
        EXPECT_TRUE(saveBeatFileBytes(target, kNewBeat));
        EXPECT_FALSE(saveBeatFileBytes(folder.filePath("new.tbk"), kNewBeat));
    }
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(contentOf(target), kNewBeat);
    EXPECT_EQ(entriesOf(folder.path()), QStringList{"beat.tbk"});
}

}  // namespace
}  // namespace trovik
