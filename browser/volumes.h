// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace trovik {

// What the drive list needs to know of one mounted volume.
struct VolumeFacts {
    QString rootPath;  // native separators: "/", "/media/stick", "C:\"
    QByteArray fileSystemType;
    bool ready = false;
};

// Whether a person would browse this volume for samples: every drive letter
// on Windows; elsewhere the root file system, the volume holding the home
// directory (`homeRoot`), removable media and network shares, but never the
// kernel's pseudo file systems nor a volume that is not ready.
bool isBrowsableVolume(const VolumeFacts& volume, const QString& homeRoot);

// One entry of the drive list. The designator is the volume's root path.
struct DriveEntry {
    QString designator;
    QString displayName;
};

// The browsable volumes mounted now, sorted by designator.
std::vector<DriveEntry> browsableDrives();

// The designator of the volume that holds `path`; empty when there is none.
QString driveOf(const QString& path);

}  // namespace trovik
