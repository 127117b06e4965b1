#include "volumes.h"

#include <gtest/gtest.h>

#include <QDir>

namespace trovik {
namespace {

struct VolumeCase {
    const char* root;
    const char* type;
    bool browsable;
};

constexpr VolumeCase kVolumes[] = {
    {"/", "ext4", true},
    {"/", "overlay", true},
    {"/home", "btrfs", true},
    {"/media/ann/STICK", "vfat", true},
    {"/run/media/ann/CARD", "exfat", true},
    {"/mnt", "ext4", true},
    {"/mnt/backup", "ntfs3", true},
    {"/Volumes/Samples", "apfs", true},
    {"/srv/share", "nfs4", true},
    {"/net/studio", "cifs", true},
    {"C:\\", "NTFS", true},
    {"/proc", "proc", false},
    {"/sys", "sysfs", false},
    {"/dev", "devtmpfs", false},
    {"/sys/fs/cgroup", "cgroup2", false},
    {"/mnt/bin", "binfmt_misc", false},
    {"/run/user/1000", "tmpfs", false},
    {"/boot/efi", "vfat", false},
    {"/snap/core/1", "squashfs", false},
    {"/media-old", "ext4", false},
};

TEST(BrowsableVolume, ListsWhatAPersonKeepsFilesOnAndNothingOfTheSystem) {
    for (const VolumeCase& volume : kVolumes) {
        EXPECT_EQ(isBrowsableVolume({volume.root, volume.type, true}, "/home"), volume.browsable)
            << volume.root;
    }
}

TEST(BrowsableVolume, LeavesOutAVolumeThatIsNotReady) {
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
