#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "core/exceptions.h"
#include "core/stream.h"

namespace fs = std::filesystem;

namespace {
struct TempDir {
    fs::path path;
    TempDir() {
        char tmpl[] = "/tmp/tavstreamXXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string File(const char* name) const { return (path / name).string(); }
    size_t Count() const { return size_t(std::distance(fs::directory_iterator(path), {})); }
};

std::string Slurp(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}
} // namespace

TEST(Streams, ShortReadsAndBadSeeksRaise) {
    TMemoryStream m;
    m.WriteU32LE(0x01020304);
    m.WriteU16BE(0x0506);
    m.SetPosition(0);
    EXPECT_EQ(m.ReadU8(), 4);
    EXPECT_EQ(m.ReadU8(), 3);
    EXPECT_EQ(m.ReadU16LE(), 0x0102);
    EXPECT_EQ(m.ReadU16BE(), 0x0506);
    uint8_t b;
    EXPECT_THROW(m.ReadBuffer(&b, 1), EReadError);
    EXPECT_THROW(m.Seek(-1, TSeekOrigin::Beginning), EStreamError);
    EXPECT_THROW(m.Seek(INT64_MAX, TSeekOrigin::End), EStreamError);

    const uint8_t data[3] = {1, 2, 3};
    TReadOnlyMemoryStream r(data, 3);
    uint8_t buf[4];
    EXPECT_EQ(r.Read(buf, 4), 3);
    EXPECT_THROW(r.WriteU8(1), EWriteError);
    EXPECT_THROW(TFileStream("/nonexistent/x", TFileStream::OpenRead), EFOpenError);
}

TEST(Streams, SafeFileReplacesOnlyOnCommit) {
    TempDir dir;
    const std::string target = dir.File("picture.bmp");
    { std::ofstream(target) << "old contents"; }
    chmod(target.c_str(), 0640);

    // An error on the way: the target stays as it was, no temporary is left.
    try {
        TSafeFileStream s(target);
        s.WriteBuffer("new", 3);
        throw std::runtime_error("writer failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(Slurp(target), "old contents");
    EXPECT_EQ(dir.Count(), 1u);

    {
        TSafeFileStream s(target);
        s.WriteBuffer("new", 3);
        EXPECT_EQ(Slurp(target), "old contents"); // untouched until the commit
        s.Commit();
    }
    EXPECT_EQ(Slurp(target), "new");
    EXPECT_EQ(dir.Count(), 1u);
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // the replaced file keeps its permissions

    // A read-only file is left alone.
    chmod(target.c_str(), 0440);
    EXPECT_THROW(TSafeFileStream s(target), EFOpenError);
    EXPECT_EQ(Slurp(target), "new");
    EXPECT_EQ(dir.Count(), 1u);

    // A new file that is never committed never appears.
    { TSafeFileStream s(dir.File("new.bmp")); }
    EXPECT_FALSE(fs::exists(dir.File("new.bmp")));
    EXPECT_THROW(TSafeFileStream(dir.File("missing/x.bmp")), EFOpenError);
}

// Only regular files are opened: a FIFO with no writer, a device and a
// folder are refused at once with the open error, for reading and writing,
// and a link to one of them is no way round. A FIFO opened the plain way
// would block the caller until someone writes to it.
TEST(Streams, OpenRefusesEverythingButRegularFiles) {
    TempDir d;
    const std::string fifo = d.File("pipe.jpg");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string devLink = d.File("zero.bmp");
    fs::create_symlink("/dev/zero", devLink);
    const std::string fifoLink = d.File("pipelink.png");
    fs::create_symlink(fifo, fifoLink);
    const std::string folder = d.File("sub.jpg");
    fs::create_directory(folder);
    struct Case {
        std::string path;
        const char* why;
    } cases[] = {{fifo, "Not a regular file"},
                 {devLink, "Not a regular file"},
                 {fifoLink, "Not a regular file"},
                 {"/dev/null", "Not a regular file"},
                 {folder, "Is a directory"}};
    for (const Case& c : cases)
        for (auto mode : {TFileStream::OpenRead, TFileStream::OpenReadWrite}) {
            try {
                TFileStream f(c.path, mode);
                ADD_FAILURE() << c.path << " was opened";
            } catch (const EFOpenError& e) {
                EXPECT_EQ(e.Message(), "Cannot open file \"" + c.path + "\". " + c.why);
            }
        }
    EXPECT_THROW(ReadWholeFile(fifo), EFOpenError);
    EXPECT_THROW(TFileStream(fifoLink, TFileStream::Create), EFOpenError);
    // A regular file still opens, reads whole and is written through.
    {
        TFileStream w(d.File("plain.bin"), TFileStream::Create);
        w.WriteU32LE(0xA1B2C3D4);
        w.Close();
    }
    EXPECT_EQ(ReadWholeFile(d.File("plain.bin")), (std::vector<uint8_t>{0xD4, 0xC3, 0xB2, 0xA1}));
    const int fd = OpenRegularFile(d.File("plain.bin"), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0) << "the non-blocking flag stays on";
    close(fd);
}
