// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/volumes.h"

#include <QDir>
#include <QStorageInfo>
#include <algorithm>
#include <span>

namespace trovik {
namespace {

// File systems of the kernel's own making, which hold no files of a person's.
constexpr const char* kPseudoFileSystems[] = {
    "autofs", "binfmt_misc", "bpf",        "cgroup",     "cgroup2",   "configfs", "debugfs",
    "devpts", "devtmpfs",    "efivarfs",   "fusectl",    "hugetlbfs", "mqueue",   "nsfs",
    "proc",   "pstore",      "rpc_pipefs", "securityfs", "selinuxfs", "sysfs",    "tracefs"};

constexpr const char* kNetworkFileSystems[] = {"nfs",   "nfs4", "cifs",       "smb3",
                                               "smbfs", "afs",  "fuse.sshfs", "9p"};

// Where desktops and people mount removable media.
constexpr const char* kRemovableMediaFolders[] = {"/media/", "/run/media/", "/mnt/", "/Volumes/"};

bool contains(std::span<const char* const> names, const QByteArray& name) {
    return std::ranges::any_of(names, [&name](const char* n) { return name == n; });
}

bool isDriveLetterRoot(const QString& root) {
    return root.size() == 3 && root.at(0).isLetter() && root.at(1) == u':' && root.at(2) == u'\\';
}

// A volume mounted on one of those folders itself ("/mnt") counts too.
bool isUnderRemovableMediaFolder(const QString& root) {
    const QString asFolder = root + u'/';
    return std::ranges::any_of(kRemovableMediaFolders, [&asFolder](const char* folder) {
        return asFolder.startsWith(QLatin1String(folder));
    });
}

DriveEntry driveFrom(const QStorageInfo& volume) {
    const QString designator = QDir::toNativeSeparators(volume.rootPath());
    const QString name = volume.name();
    return {designator,
            name.isEmpty() ? designator : designator + QStringLiteral(" [") + name + u']'};
}

}  // namespace

bool isBrowsableVolume(const VolumeFacts& volume, const QString& homeRoot) {
    if (!volume.ready) return false;
    if (isDriveLetterRoot(volume.rootPath)) return true;
    if (contains(kPseudoFileSystems, volume.fileSystemType)) return false;
    return volume.rootPath == u"/" || volume.rootPath == homeRoot ||
           isUnderRemovableMediaFolder(volume.rootPath) ||
           contains(kNetworkFileSystems, volume.fileSystemType);
}

std::vector<DriveEntry> browsableDrives() {
    const QString homeRoot = driveOf(QDir::homePath());
    std::vector<DriveEntry> drives;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const VolumeFacts facts{QDir::toNativeSeparators(volume.rootPath()),
                                volume.fileSystemType(), volume.isValid() && volume.isReady()};
        if (isBrowsableVolume(facts, homeRoot)) drives.push_back(driveFrom(volume));
    }
    const auto byDesignator = [](const DriveEntry& a, const DriveEntry& b) {
        return a.designator < b.designator;
    };
    const auto sameDesignator = [](const DriveEntry& a, const DriveEntry& b) {
        return a.designator == b.designator;
    };
    std::sort(drives.begin(), drives.end(), byDesignator);
    // A volume mounted twice at one place is one drive.
    drives.erase(std::unique(drives.begin(), drives.end(), sameDesignator), drives.end());
    return drives;
}

QString driveOf(const QString& path) {
    const QStorageInfo volume(path);
    return volume.isValid() ? QDir::toNativeSeparators(volume.rootPath()) : QString();
}

}  // namespace trovik
