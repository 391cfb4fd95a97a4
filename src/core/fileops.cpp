#include "core/fileops.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Kernels and file systems without RENAME_NOREPLACE answer with one of these.
bool Unsupported(int err) {
    return err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == ENOTSUP;
}

// Link counts and identities of both names, when both exist.
bool OneEntryTwoSpellings(const std::string& from, const std::string& to) {
    struct stat a {
    }, b{};
    if (::lstat(from.c_str(), &a) != 0 || ::lstat(to.c_str(), &b) != 0) return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_nlink == 1 && !S_ISDIR(a.st_mode);
}

} // namespace

int RenameNoReplaceByLink(const std::string& from, const std::string& to) noexcept {
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    if (::unlink(from.c_str()) != 0) {
        const int err = errno;
        // Leave things as they were: one name, the old one.
        ::unlink(to.c_str());
        return err;
    }
    return 0;
}

int RenameNoReplace(const std::string& from, const std::string& to) noexcept {
    if (from.empty() || to.empty()) return ENOENT;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    int err = errno;
    if (err == EEXIST) {
        // "a.jpg" -> "A.JPG" on a case-insensitive card finds itself; plain
        // rename changes the spelling and cannot lose anything here.
        if (OneEntryTwoSpellings(from, to) && ::rename(from.c_str(), to.c_str()) == 0) return 0;
        return EEXIST;
    }
    if (!Unsupported(err)) return err;

    err = RenameNoReplaceByLink(from, to);
    if (err == 0 || err == EEXIST || err == ENOENT || err == EXDEV || err == EACCES ||
        err == EROFS || err == ENOSPC || err == EDQUOT)
        return err;
    if (err != EPERM && !Unsupported(err)) return err;

    // No hard links either (FAT through FUSE, some network shares).
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return EEXIST;
    if (errno != ENOENT) return errno;
    if (::rename(from.c_str(), to.c_str()) != 0) return errno;
    return 0;
}

std::string FileErrorText(int err) {
    char buf[256];
    // GNU strerror_r returns the text, which may or may not live in buf.
    return ::strerror_r(err, buf, sizeof buf);
}
