#pragma once
// Removes the entries of a test folder by their bytes: QTemporaryDir's own
// clean-up goes through QString names and cannot remove names that are no
// valid text.

#include <QFile>
#include <QString>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

inline void RemoveRawEntries(const QString& folder) {
    DIR* d = ::opendir(QFile::encodeName(folder).constData());
    if (!d) return;
    while (dirent* e = ::readdir(d)) {
        const QByteArray n(e->d_name);
        if (n == "." || n == "..") continue;
        if (::unlinkat(::dirfd(d), e->d_name, 0) != 0)
            ::unlinkat(::dirfd(d), e->d_name, AT_REMOVEDIR);
    }
    ::closedir(d);
}
