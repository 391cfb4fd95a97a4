#include "core/fileops.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <vector>

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

// ---- Moving and copying whole files

namespace {

std::string MoveError(const std::string& p) {
    return "Cannot move file " + p;
}
std::string OpenError(const std::string& p) {
    return "Cannot open file " + p;
}
std::string CreateError(const std::string& p) {
    return "Cannot create file " + p;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Closes a descriptor when the copy ends, whichever way.
struct TFd {
    int fd = -1;
    ~TFd() {
        if (fd >= 0) ::close(fd);
    }
};

ssize_t ReadRetry(const TCopySeams* s, int fd, char* buf, size_t n) {
    for (;;) {
        const ssize_t r = s && s->read ? s->read(fd, buf, n) : ::read(fd, buf, n);
        if (r < 0 && errno == EINTR) continue;
        return r;
    }
}

// Writes all of `n` bytes or fails.
bool WriteAll(const TCopySeams* s, int fd, const char* buf, size_t n) {
    while (n > 0) {
        const ssize_t w = s && s->write ? s->write(fd, buf, n) : ::write(fd, buf, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        buf += w;
        n -= size_t(w);
    }
    return true;
}

// The kernel's in-place copy for the ordinary case. Returns false when the
// kernel cannot do it for these files (another file system type, an old
// kernel) before anything was copied; throws on a real failure.
enum class TKernelCopy { Done, Unsupported, Failed };
TKernelCopy KernelCopy(int in, int out, std::int64_t& total) {
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            if (total == 0 && (err == EXDEV || err == EINVAL || err == ENOSYS ||
                               err == EOPNOTSUPP || err == EPERM || err == EBADF))
                return TKernelCopy::Unsupported;
            return TKernelCopy::Failed;
        }
        if (n == 0) return TKernelCopy::Done;
        total += n;
    }
}

void CopyImpl(const std::string& source, const std::string& destination, const TCopySeams* seams) {
    const std::string src = AbsoluteFilePath(source);
    const std::string dst = AbsoluteFilePath(destination);
    TFd in;
    in.fd = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    // Only a regular file is copied: a folder, a pipe or a device would block
    // or never end.
    if (in.fd < 0 || ::fstat(in.fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw EFCantMove(OpenError(src));

    std::string tmp = FolderOf(dst) + "/.tavirlo-copy-XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    TFd out;
    out.fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (out.fd < 0) throw EFCantMove(CreateError(dst));
    tmp = name.data();
    bool linked = false;
    struct Cleanup {
        const std::string& tmp;
        bool& linked;
        ~Cleanup() {
            if (!linked) ::unlink(tmp.c_str());
        }
    } cleanup{tmp, linked};

    // One reservation of the whole size: the file system lays the copy out
    // in one piece, and a full disk shows before anything is written.
    if (st.st_size > 0 && ::fallocate(out.fd, FALLOC_FL_KEEP_SIZE, 0, st.st_size) != 0 &&
        errno == ENOSPC)
        throw EFCantMove(CreateError(dst));
    std::int64_t total = 0;
    TKernelCopy k = TKernelCopy::Unsupported;
    if (!seams) k = KernelCopy(in.fd, out.fd, total);
    if (k == TKernelCopy::Failed) throw EFCantMove(CreateError(dst));
    if (k == TKernelCopy::Unsupported) {
        std::vector<char> buf(1 << 20);
        // Until the source says it has ended: a short read is just a short
        // read, not the end of the file.
        for (;;) {
            const ssize_t r = ReadRetry(seams, in.fd, buf.data(), buf.size());
            if (r < 0) throw EFCantMove(OpenError(src));
            if (r == 0) break;
            if (!WriteAll(seams, out.fd, buf.data(), size_t(r))) throw EFCantMove(CreateError(dst));
            total += r;
        }
    }
    // A file that shrank or grew while we copied is not a faithful copy.
    struct stat now {};
    if (::fstat(in.fd, &now) != 0 || now.st_size != total || st.st_size != total)
        throw EFCantMove(OpenError(src));
    struct stat written {};
    if (::fstat(out.fd, &written) != 0 || written.st_size != total)
        throw EFCantMove(CreateError(dst));
    ::fchmod(out.fd, st.st_mode & 07777 & ~mode_t(S_ISUID | S_ISGID));
    if (::fsync(out.fd) != 0) throw EFCantMove(CreateError(dst));
    const int fd = out.fd;
    out.fd = -1;
    if (::close(fd) != 0) throw EFCantMove(CreateError(dst));
    if (seams && seams->beforeLink) seams->beforeLink();
    if (RenameNoReplace(tmp, dst) != 0) throw EFCantMove(CreateError(dst));
    linked = true;
}

} // namespace

std::string AbsoluteFilePath(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    std::vector<char> cwd(PATH_MAX + 1);
    if (!::getcwd(cwd.data(), cwd.size())) return path;
    std::string base = cwd.data();
    if (base.empty() || base.back() != '/') base += '/';
    return base + path;
}

void CopyFileContents(const std::string& source, const std::string& destination) {
    CopyImpl(source, destination, nullptr);
}

void CopyFileContents(const std::string& source, const std::string& destination,
                      const TCopySeams& seams) {
    CopyImpl(source, destination, &seams);
}

void RelocateFile(const std::string& source, const std::string& destination) {
    const std::string src = AbsoluteFilePath(source);
    const std::string dst = AbsoluteFilePath(destination);
    const int err = RenameNoReplace(src, dst);
    if (err == 0) return;
    if (err != EXDEV) throw EFCantMove(MoveError(src));
    // Another file system: copy, then remove the source. A source we may
    // not change is not moved at all.
    if (FileHasAttribute(src, faReadOnly)) throw EFCantMove(MoveError(src));
    CopyFileContents(src, dst);
    if (::unlink(src.c_str()) != 0) throw EFCantMove(MoveError(src));
}

std::int64_t FileSizeOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::lstat(AbsoluteFilePath(path).c_str(), &st) != 0) return -1;
    if (S_ISDIR(st.st_mode)) return 0;
    return st.st_size;
}

std::int64_t FileChangeTime(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(AbsoluteFilePath(path).c_str(), &st) != 0) return -1;
    const std::int64_t t = st.st_mtime;
    return t - (((t % 2) + 2) % 2);
}

int FileAttributes(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(AbsoluteFilePath(path).c_str(), &st) != 0) return -1;
    int a = 0;
    if (!(st.st_mode & S_IWUSR)) a |= faReadOnly;
    std::string name = path;
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    const auto slash = name.rfind('/');
    const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    if (!base.empty() && base[0] == '.' && base != "." && base != "..") a |= faHidden;
    return a;
}

bool FileHasAttribute(const std::string& path, int bits) {
    const int a = FileAttributes(path);
    return a >= 0 && (a & bits) == bits;
}

int SetFileReadOnly(const std::string& path, bool readOnly) noexcept {
    struct stat st {};
    const std::string p = AbsoluteFilePath(path);
    if (::stat(p.c_str(), &st) != 0) return errno;
    const mode_t old = st.st_mode & 07777;
    const mode_t mode = readOnly ? (old & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)) : (old | S_IWUSR);
    if (mode == old) return 0;
    if (::chmod(p.c_str(), mode) != 0) return errno;
    return 0;
}
