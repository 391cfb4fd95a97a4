#include "core/fileid.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(FileId, NamesOfOneFileCompareEqual) {
    const fs::path dir = fs::temp_directory_path() / ("fileid_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "a.jpg") << "x";
    std::ofstream(dir / "b.jpg") << "x";
    fs::create_hard_link(dir / "a.jpg", dir / "link.jpg");
    fs::create_symlink(dir / "a.jpg", dir / "sym.jpg");

    EXPECT_TRUE(SameFile((dir / "a.jpg").string(), (dir / "link.jpg").string()));
    EXPECT_TRUE(SameFile((dir / "a.jpg").string(), (dir / "sym.jpg").string()));
    EXPECT_TRUE(SameFile((dir / "a.jpg").string(), (dir / "." / "a.jpg").string()));
    EXPECT_FALSE(SameFile((dir / "a.jpg").string(), (dir / "b.jpg").string()));
    // Files that do not exist are nobody's twin, not even their own.
    EXPECT_FALSE(SameFile((dir / "none").string(), (dir / "none").string()));
    EXPECT_FALSE(FileIdOf("").has_value());
    fs::remove_all(dir);
}
