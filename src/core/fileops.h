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
