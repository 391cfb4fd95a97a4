#pragma once
// File helpers shared by every part of the program that moves or renames
// files (the browser's rename and drops, the mover, the incremental rename).
// Plain POSIX, no Qt: paths are the bytes the file system uses.
//
// The one rule they keep: a move never replaces a file that is already
// there. rename(2) replaces silently, so everything that moves a file goes
// through RenameNoReplace instead of calling rename itself.

#include <string>

// Renames `from` to `to` unless `to` already exists. Returns 0 on success,
// else the errno value of the failure and nothing is changed on disk:
//   EEXIST  `to` exists (file, folder or dangling link; never replaced);
//   ENOENT  `from` is missing, or `to`'s folder is missing;
//   EXDEV   the names are on different file systems (no copy is made here);
//   others  as rename(2) reports them (EACCES, EROFS, ...).
// Uses renameat2(RENAME_NOREPLACE); where the file system does not support
// it, link + unlink (an existing target makes link fail with EEXIST). Where
// the file system has neither (some network and FUSE mounts), it checks
// that `to` is absent and renames: a file created under the same name in
// that instant by another program is the only case it cannot rule out.
// Two spellings of one directory entry (a case-only change on a
// case-insensitive card: same inode, one link) are renamed in place; a
// separate hard link to the same file counts as an existing target.
int RenameNoReplace(const std::string& from, const std::string& to) noexcept;

// The link + unlink way of RenameNoReplace on its own (what it falls back
// to); exposed so the fallback can be tested on file systems that support
// renameat2. A failed unlink of `from` removes the new link again.
int RenameNoReplaceByLink(const std::string& from, const std::string& to) noexcept;

// The system's text for an errno value ("File exists").
std::string FileErrorText(int err);

// ---- Moving and copying whole files, sizes, times and attributes.
//
// Paths are absolute or relative to the current folder; relative ones are
// made absolute first. Failures raise EFCantMove with the message the user
// sees ("Cannot move file <path>", "Cannot open file <path>", "Cannot create
// file <path>"); on any failure the source is still there and no partial
// target is left behind.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <sys/types.h>

class EFCantMove : public std::runtime_error {
  public:
    explicit EFCantMove(const std::string& msg) : std::runtime_error(msg) {}
};

// `path` made absolute against the current folder (no symlinks resolved).
std::string AbsoluteFilePath(const std::string& path);

// Moves a file without ever replacing one. On the same file system it is a
// no-replace rename. Between file systems (a card into the home folder) a
// read-only source is refused; else the file is copied (CopyFileContents)
// and the source removed once the copy is complete. If the source cannot be
// removed the copy stays and EFCantMove is raised. An existing destination
// raises EFCantMove and both files stay as they were.
void RelocateFile(const std::string& source, const std::string& destination);

// Ways into the copy for tests: a short or failing read, a failing write,
// something that happens just before the copy is linked in.
struct TCopySeams {
    std::function<ssize_t(int fd, char* buf, size_t n)> read;
    std::function<ssize_t(int fd, const char* buf, size_t n)> write;
    std::function<void()> beforeLink;
};

// Copies the regular file `source` to the new name `destination`: into a
// temporary file beside the target until the source ends, every write and
// the final count checked against the source's size, flushed to disk, then
// linked in under its name only if that name is still free. The copy gets
// the source's permission bits and the current time.
void CopyFileContents(const std::string& source, const std::string& destination);
void CopyFileContents(const std::string& source, const std::string& destination,
                      const TCopySeams& seams);

// Size in bytes of the entry `path` names (the link itself for a symlink),
// 0 for a folder, -1 when there is none. Names are taken literally: "*" and
// "?" are ordinary characters.
std::int64_t FileSizeOf(const std::string& path);

// Last change as seconds since the epoch cut to even seconds (the listing's
// resolution), or -1 when the file cannot be examined.
std::int64_t FileChangeTime(const std::string& path);

// Attribute bits as the program knows them. Read-only is a file without its
// owner's write bit; hidden is a leading dot; system and archive do not exist
// here and are never set.
inline constexpr int faReadOnly = 0x01;
inline constexpr int faHidden = 0x02;
inline constexpr int faSysFile = 0x04;
inline constexpr int faArchive = 0x20;

// The attribute bits of `path`, or -1 when it cannot be examined.
int FileAttributes(const std::string& path);
// True when every bit of `bits` is set.
bool FileHasAttribute(const std::string& path, int bits);
// Sets or clears read-only: setting clears the write bits of owner, group
// and others, clearing gives the owner write access; other bits are kept and
// nothing is written when nothing changes. Returns 0 or the errno value.
int SetFileReadOnly(const std::string& path, bool readOnly) noexcept;
