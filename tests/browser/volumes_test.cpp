#include "volumes.h"

#include <gtest/gtest.h>

#include <QDir>

namespace trovik {
namespace {

bool browsable(const char* root, const char* type, const char* homeRoot = "/home") {
    return isBrowsableVolume({QString::fromUtf8(root), type, true}, QString::fromUtf8(homeRoot));
}

TEST(BrowsableVolume, ListsWhatAPersonKeepsFilesOn) {
    EXPECT_TRUE(browsable("/", "ext4"));
    EXPECT_TRUE(browsable("/home", "btrfs"));
    EXPECT_TRUE(browsable("/media/ann/STICK", "vfat"));
    EXPECT_TRUE(browsable("/run/media/ann/CARD", "exfat"));
    EXPECT_TRUE(browsable("/mnt", "ext4"));
    EXPECT_TRUE(browsable("/mnt/backup", "ntfs3"));
    EXPECT_TRUE(browsable("/Volumes/Samples", "apfs"));
    EXPECT_TRUE(browsable("/srv/share", "nfs4"));
    EXPECT_TRUE(browsable("/net/studio", "cifs"));
    EXPECT_TRUE(browsable("C:\\", "NTFS", ""));
    EXPECT_TRUE(browsable("/", "overlay", ""));
}

TEST(BrowsableVolume, LeavesOutSystemPseudoAndUnreadyVolumes) {
    EXPECT_FALSE(browsable("/proc", "proc"));
    EXPECT_FALSE(browsable("/sys", "sysfs"));
    EXPECT_FALSE(browsable("/dev", "devtmpfs"));
    EXPECT_FALSE(browsable("/sys/fs/cgroup", "cgroup2"));
    EXPECT_FALSE(browsable("/mnt/bin", "binfmt_misc"));
    EXPECT_FALSE(browsable("/run/user/1000", "tmpfs"));
    EXPECT_FALSE(browsable("/boot/efi", "vfat"));
    EXPECT_FALSE(browsable("/snap/core/1", "squashfs"));
    EXPECT_FALSE(browsable("/media-old", "ext4"));
    EXPECT_FALSE(isBrowsableVolume({QStringLiteral("/media/ann/DVD"), "udf", false}, "/home"));
    EXPECT_FALSE(isBrowsableVolume({QStringLiteral("D:\\"), "", false}, ""));
}

TEST(BrowsableDrives, NameEachDriveByTheRootPathOfItsVolume) {
    const std::vector<DriveEntry> drives = browsableDrives();
    ASSERT_FALSE(drives.empty());
    for (const DriveEntry& drive : drives) {
        EXPECT_TRUE(QDir(drive.designator).exists()) << drive.designator.toStdString();
        EXPECT_TRUE(drive.displayName.startsWith(drive.designator));
        EXPECT_EQ(driveOf(drive.designator), drive.designator);
    }
}

}  // namespace
}  // namespace trovik
