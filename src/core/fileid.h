#pragma once
// A file's identity on disk (device and inode): two names of one file (hard
// links, a differently spelled path, a case-insensitive card) compare equal.
// Tools use it so they never write over one of their own sources.

#include <optional>
#include <string>
#include <sys/types.h>

struct TFileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const TFileId&) const = default;
};

// The identity of the file `path` names (following links), or none when it
// does not exist or cannot be examined.
std::optional<TFileId> FileIdOf(const std::string& path);

// True when both names exist and are the same file.
bool SameFile(const std::string& a, const std::string& b);
