#include "core/fileops.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

class FileOps : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("fileops_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        std::ofstream(dir_ / "a.jpg", std::ios::binary) << "AAAA";
        std::ofstream(dir_ / "b.jpg", std::ios::binary) << "BB";
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string P(const char* name) const { return (dir_ / name).string(); }
    fs::path dir_;
};

using RenameFn = int (*)(const std::string&, const std::string&) noexcept;

} // namespace

// Both ways (renameat2 and the link fallback) keep the same promises.
TEST_F(FileOps, NeverReplacesAndReportsWhy) {
    for (RenameFn fn : {&RenameNoReplace, &RenameNoReplaceByLink}) {
        SCOPED_TRACE(fn == &RenameNoReplace ? "renameat2" : "link");
        fs::remove(dir_ / "c.jpg");
        if (!fs::exists(dir_ / "a.jpg")) std::ofstream(dir_ / "a.jpg", std::ios::binary) << "AAAA";

        // Onto an existing file: refused, both files as they were.
        EXPECT_EQ(fn(P("a.jpg"), P("b.jpg")), EEXIST);
        EXPECT_EQ(Read(dir_ / "a.jpg"), "AAAA");
        EXPECT_EQ(Read(dir_ / "b.jpg"), "BB");

        // Onto a dangling link: the link is a name that exists.
        fs::create_symlink(dir_ / "nowhere", dir_ / "dangling");
        EXPECT_EQ(fn(P("a.jpg"), P("dangling")), EEXIST);
        EXPECT_TRUE(fs::is_symlink(dir_ / "dangling"));
        fs::remove(dir_ / "dangling");

        // Missing source or missing target folder.
        EXPECT_EQ(fn(P("none.jpg"), P("c.jpg")), ENOENT);
        EXPECT_EQ(fn(P("a.jpg"), P("nofolder/c.jpg")), ENOENT);
        EXPECT_EQ(Read(dir_ / "a.jpg"), "AAAA");

        // A free name: moved, one name left.
        EXPECT_EQ(fn(P("a.jpg"), P("c.jpg")), 0);
        EXPECT_FALSE(fs::exists(dir_ / "a.jpg"));
        EXPECT_EQ(Read(dir_ / "c.jpg"), "AAAA");
        EXPECT_EQ(fs::hard_link_count(dir_ / "c.jpg"), 1u);
    }
}

TEST_F(FileOps, AHardLinkOfTheSourceIsAnExistingTarget) {
    fs::create_hard_link(dir_ / "a.jpg", dir_ / "twin.jpg");
    EXPECT_EQ(RenameNoReplace(P("a.jpg"), P("twin.jpg")), EEXIST);
    EXPECT_TRUE(fs::exists(dir_ / "a.jpg"));
    EXPECT_TRUE(fs::exists(dir_ / "twin.jpg"));
}

TEST_F(FileOps, EmptyNamesAndErrorText) {
    EXPECT_EQ(RenameNoReplace("", P("c.jpg")), ENOENT);
    EXPECT_EQ(RenameNoReplace(P("a.jpg"), ""), ENOENT);
    EXPECT_EQ(FileErrorText(EEXIST), "File exists");
}
