#include "tools/drives.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

bool IsPseudoFileSystem(const QString& type) {
    static const char* const pseudo[] = {
        "autofs",   "binfmt_misc", "bpf",        "cgroup",      "cgroup2",
        "configfs", "debugfs",     "devpts",     "devtmpfs",    "efivarfs",
        "fusectl",  "hugetlbfs",   "mqueue",     "nsfs",        "proc",
        "pstore",   "ramfs",       "rpc_pipefs", "securityfs",  "squashfs",
        "sysfs",    "tmpfs",       "tracefs",    "fuse.portal", "fuse.gvfsd-fuse"};
    for (const char* p : pseudo)
        if (type == QLatin1String(p)) return true;
    return false;
}

std::vector<TDrive> ListDrives() {
    std::vector<TDrive> drives;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady()) continue;
        if (IsPseudoFileSystem(QString::fromLatin1(v.fileSystemType()))) continue;
        TDrive d;
        d.root = v.rootPath();
        d.label = v.name();
        if (d.label.isEmpty()) d.label = QFileInfo(QString::fromLocal8Bit(v.device())).fileName();
        if (d.label.isEmpty()) d.label = QString::fromLatin1(v.fileSystemType());
        drives.push_back(std::move(d));
    }
    std::sort(drives.begin(), drives.end(),
              [](const TDrive& a, const TDrive& b) { return a.root < b.root; });
    drives.erase(std::unique(drives.begin(), drives.end(),
                             [](const TDrive& a, const TDrive& b) { return a.root == b.root; }),
                 drives.end());
    return drives;
}

int DriveOf(const std::vector<TDrive>& drives, const QString& path) {
    const QString p = QDir::cleanPath(path);
    int best = -1;
    qsizetype bestLen = -1;
    for (int i = 0; i < int(drives.size()); ++i) {
        const QString r = QDir::cleanPath(drives[i].root);
        const bool inside = r == QLatin1String("/") || p == r || p.startsWith(r + '/');
        if (inside && r.size() > bestLen) {
            best = i;
            bestLen = r.size();
        }
    }
    return best;
}
