#include "core/fileid.h"

#include <sys/stat.h>

std::optional<TFileId> FileIdOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    return TFileId{st.st_dev, st.st_ino};
}

bool SameFile(const std::string& a, const std::string& b) {
    const auto x = FileIdOf(a);
    return x && x == FileIdOf(b);
}
