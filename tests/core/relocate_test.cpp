// Moving and copying whole files: nothing replaced, nothing lost, nothing
// half-written left behind.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "core/fileops.h"

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void Write(const fs::path& p, const std::string& data) {
    std::ofstream(p, std::ios::binary) << data;
}

// Bytes that differ everywhere, so a skipped or doubled chunk shows.
std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = char((i * 131 + i / 251) & 0xFF);
    return s;
}

fs::path Scratch(const fs::path& base, const char* what) {
    const fs::path d = base / ("relocate_" + std::to_string(::getpid()) + "_" + what + "_" +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
}

// Entries of a folder other than the given names: leftovers of a failed copy.
std::vector<std::string> Others(const fs::path& dir, std::initializer_list<std::string> keep) {
    std::vector<std::string> r;
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string n = e.path().filename().string();
        if (std::find(keep.begin(), keep.end(), n) == keep.end()) r.push_back(n);
    }
    return r;
}

class Relocate : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = Scratch(fs::current_path(), "here"); }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }
    std::string P(const std::string& n) const { return (dir_ / n).string(); }
    fs::path dir_;
};

} // namespace

TEST_F(Relocate, OntoAnExistingNameNothingChanges) {
    Write(dir_ / "a.jpg", "AAAA");
    Write(dir_ / "b.jpg", "BB");
    try {
        RelocateFile(P("a.jpg"), P("b.jpg"));
        FAIL() << "moved onto an existing file";
    } catch (const EFCantMove& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot move file " + P("a.jpg"));
    }
    EXPECT_EQ(Read(dir_ / "a.jpg"), "AAAA");
    EXPECT_EQ(Read(dir_ / "b.jpg"), "BB");

    // A free name in the same folder: a rename.
    RelocateFile(P("a.jpg"), P("c.jpg"));
    EXPECT_FALSE(fs::exists(dir_ / "a.jpg"));
    EXPECT_EQ(Read(dir_ / "c.jpg"), "AAAA");
}

// /dev/shm is a different file system from the build folder on any usual
// machine; where it is not, the cross-device path cannot be shown here.
TEST_F(Relocate, AcrossFileSystemsCopiesThenRemovesTheSource) {
    if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
    const fs::path shm = Scratch("/dev/shm", "shm");
    struct stat a {
    }, b{};
    ::stat(shm.c_str(), &a);
    ::stat(dir_.c_str(), &b);
    if (a.st_dev == b.st_dev) {
        fs::remove_all(shm);
        GTEST_SKIP() << "/dev/shm is on the build folder's file system";
    }
    const std::string data = Pattern(3 * 1024 * 1024 + 17);
    Write(shm / "card.jpg", data);
    fs::permissions(shm / "card.jpg", fs::perms(0640));
    RelocateFile((shm / "card.jpg").string(), P("card.jpg"));
    EXPECT_FALSE(fs::exists(shm / "card.jpg"));
    EXPECT_EQ(Read(dir_ / "card.jpg"), data);
    EXPECT_EQ(fs::status(dir_ / "card.jpg").permissions(), fs::perms(0640));
    EXPECT_EQ(Others(dir_, {"card.jpg"}), std::vector<std::string>{});

    // Onto a name that exists on the other side: refused, both kept.
    Write(shm / "b.jpg", "new");
    Write(dir_ / "b.jpg", "old");
    EXPECT_THROW(RelocateFile((shm / "b.jpg").string(), P("b.jpg")), EFCantMove);
    EXPECT_EQ(Read(shm / "b.jpg"), "new");
    EXPECT_EQ(Read(dir_ / "b.jpg"), "old");

    // A read-only source is not moved between file systems.
    Write(shm / "ro.jpg", "RO");
    fs::permissions(shm / "ro.jpg", fs::perms(0444));
    EXPECT_THROW(RelocateFile((shm / "ro.jpg").string(), P("ro.jpg")), EFCantMove);
    EXPECT_EQ(Read(shm / "ro.jpg"), "RO");
    EXPECT_FALSE(fs::exists(dir_ / "ro.jpg"));
    EXPECT_EQ(Others(dir_, {"card.jpg", "b.jpg"}), std::vector<std::string>{});
    fs::remove_all(shm);
}

TEST_F(Relocate, CopyIsCompleteOrAbsent) {
    const std::string data = Pattern(200 * 1024 + 3);
    Write(dir_ / "src.bin", data);

    struct TCase {
        const char* what;
        TCopySeams seams;
        bool ok;
    };
    unsigned seed = 7;
    int writes = 0;
    const TCase cases[] = {
        // Reads that return any amount from 1 to 8191 bytes.
        {"short reads",
         {[&](int fd, char* buf, size_t n) {
              seed = seed * 1103515245 + 12345;
              return ::read(fd, buf, std::min<size_t>(n, 1 + (seed >> 8) % 8191));
          },
          {},
          {}},
         true},
        // The disk fills up half way.
        {"failing write",
         {{},
          [&](int fd, const char* buf, size_t n) -> ssize_t {
              if (++writes > 1) {
                  errno = ENOSPC;
                  return -1;
              }
              return ::write(fd, buf, std::min<size_t>(n, 4096));
          },
          {}},
         false},
        // A write that takes nothing and says so.
        {"zero write", {{}, [](int, const char*, size_t) -> ssize_t { return 0; }, {}}, false},
        // A failing read.
        {"failing read",
         {[](int, char*, size_t) -> ssize_t {
              errno = EIO;
              return -1;
          },
          {},
          {}},
         false},
        // Someone else creates the target while we copy: theirs is kept.
        {"target appears", {{}, {}, [&] { Write(dir_ / "dst.bin", "theirs"); }}, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(dir_ / "dst.bin");
        writes = 0;
        if (c.ok) {
            CopyFileContents(P("src.bin"), P("dst.bin"), c.seams);
            EXPECT_EQ(Read(dir_ / "dst.bin"), data);
        } else {
            EXPECT_THROW(CopyFileContents(P("src.bin"), P("dst.bin"), c.seams), EFCantMove);
            if (std::string(c.what) == "target appears")
                EXPECT_EQ(Read(dir_ / "dst.bin"), "theirs");
            else
                EXPECT_FALSE(fs::exists(dir_ / "dst.bin"));
        }
        EXPECT_EQ(Read(dir_ / "src.bin"), data);
        EXPECT_EQ(Others(dir_, {"src.bin", "dst.bin"}), std::vector<std::string>{});
    }

    // Without seams (the kernel's copy where it can) and from a relative name.
    fs::remove(dir_ / "dst.bin");
    const fs::path old = fs::current_path();
    fs::current_path(dir_);
    CopyFileContents("src.bin", "dst.bin");
    fs::current_path(old);
    EXPECT_EQ(Read(dir_ / "dst.bin"), data);
    // A folder is no file to copy; neither is an existing target replaced.
    fs::create_directory(dir_ / "sub");
    EXPECT_THROW(CopyFileContents(P("sub"), P("x.bin")), EFCantMove);
    EXPECT_THROW(CopyFileContents(P("src.bin"), P("dst.bin")), EFCantMove);
    EXPECT_FALSE(fs::exists(dir_ / "x.bin"));
    // An unwritable folder: "Cannot create file".
    fs::permissions(dir_ / "sub", fs::perms(0555));
    if (::access((dir_ / "sub").c_str(), W_OK) != 0) {
        try {
            CopyFileContents(P("src.bin"), P("sub/y.bin"));
            ADD_FAILURE() << "copied into a read-only folder";
        } catch (const EFCantMove& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot create file " + P("sub/y.bin"));
        }
    }
    fs::permissions(dir_ / "sub", fs::perms(0755));
    try {
        CopyFileContents(P("none.bin"), P("z.bin"));
        ADD_FAILURE() << "copied a missing file";
    } catch (const EFCantMove& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + P("none.bin"));
    }
}

TEST_F(Relocate, SizesTimesAndAttributes) {
    Write(dir_ / "ab.jpg", "12345");
    fs::create_directory(dir_ / "folder");
    // "*" and "?" are letters of a name, not patterns.
    EXPECT_EQ(FileSizeOf(P("a*.jpg")), -1);
    EXPECT_EQ(FileSizeOf(P("a?.jpg")), -1);
    EXPECT_EQ(FileSizeOf(P("ab.jpg")), 5);
    EXPECT_EQ(FileSizeOf(P("folder")), 0);
    EXPECT_EQ(FileSizeOf(P("nothing")), -1);
    EXPECT_EQ(FileSizeOf(""), -1);

    fs::last_write_time(dir_ / "ab.jpg", fs::file_time_type::clock::now());
    const std::int64_t t = FileChangeTime(P("ab.jpg"));
    EXPECT_EQ(t % 2, 0);
    EXPECT_EQ(FileChangeTime(P("nothing")), -1);

    // Read-only is the owner's write bit; other bits are kept.
    fs::permissions(dir_ / "ab.jpg", fs::perms(0664));
    EXPECT_FALSE(FileHasAttribute(P("ab.jpg"), faReadOnly));
    EXPECT_EQ(SetFileReadOnly(P("ab.jpg"), true), 0);
    EXPECT_EQ(fs::status(dir_ / "ab.jpg").permissions(), fs::perms(0444));
    EXPECT_TRUE(FileHasAttribute(P("ab.jpg"), faReadOnly));
    EXPECT_EQ(SetFileReadOnly(P("ab.jpg"), false), 0);
    EXPECT_EQ(fs::status(dir_ / "ab.jpg").permissions(), fs::perms(0644));
    EXPECT_EQ(SetFileReadOnly(P("nothing"), false), ENOENT);

    Write(dir_ / ".hidden.jpg", "h");
    EXPECT_TRUE(FileHasAttribute(P(".hidden.jpg"), faHidden));
    EXPECT_FALSE(FileHasAttribute(P("ab.jpg"), faHidden));
    EXPECT_FALSE(FileHasAttribute(P("ab.jpg"), faArchive));
    EXPECT_FALSE(FileHasAttribute(P("ab.jpg"), faSysFile));
    EXPECT_FALSE(FileHasAttribute(P("nothing"), 0));
}
