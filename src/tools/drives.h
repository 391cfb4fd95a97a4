#pragma once
// The "drives" of the file search: the mounted volumes of real file systems,
// each searched on its own. Pseudo file systems (proc, sysfs, cgroups,
// tmpfs, snap images, ...) hold no pictures worth a walk and are left out.

#include <QString>
#include <vector>

struct TDrive {
    QString root;  // mount point
    QString label; // volume label, else the device name
    // The drive list's entry: "mount root (label)".
    QString Entry() const { return root + QLatin1String(" (") + label + ')'; }
};

// Mounted real file systems, sorted by mount point.
std::vector<TDrive> ListDrives();

// True for a file-system type that is not a real one (by its name).
bool IsPseudoFileSystem(const QString& type);

// The drive that holds `path` (the longest mount root that contains it), or
// -1.
int DriveOf(const std::vector<TDrive>& drives, const QString& path);
