#include "core/stream.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/exceptions.h"

namespace {
std::string SysError() { return std::strerror(errno); }

int64_t SeekTarget(int64_t pos, int64_t size, int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == TSeekOrigin::Beginning ? 0 : origin == TSeekOrigin::Current ? pos : size;
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0)
        throw EStreamError("Invalid stream seek");
    return base + offset;
}

std::string FolderOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}
} // namespace

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count < 0 || Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count < 0 || Write(buffer, count) != count) throw EWriteError("Stream write error");
}

uint8_t TStream::ReadU8() {
    uint8_t b;
    ReadBuffer(&b, 1);
    return b;
}
uint16_t TStream::ReadU16LE() {
    uint8_t b[2];
    ReadBuffer(b, 2);
    return uint16_t(b[0] | (b[1] << 8));
}
uint32_t TStream::ReadU32LE() {
    uint8_t b[4];
    ReadBuffer(b, 4);
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}
uint16_t TStream::ReadU16BE() {
    uint8_t b[2];
    ReadBuffer(b, 2);
    return uint16_t((b[0] << 8) | b[1]);
}
uint32_t TStream::ReadU32BE() {
    uint8_t b[4];
    ReadBuffer(b, 4);
    return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | uint32_t(b[3]);
}
void TStream::WriteU8(uint8_t v) { WriteBuffer(&v, 1); }
void TStream::WriteU16LE(uint16_t v) {
    uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    WriteBuffer(b, 2);
}
void TStream::WriteU32LE(uint32_t v) {
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    WriteBuffer(b, 4);
}
void TStream::WriteU16BE(uint16_t v) {
    uint8_t b[2] = {uint8_t(v >> 8), uint8_t(v)};
    WriteBuffer(b, 2);
}
void TStream::WriteU32BE(uint32_t v) {
    uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    WriteBuffer(b, 4);
}

// ---- TFileStream

int OpenRegularFile(const std::string& fileName, int flags) {
    // Non-blocking so that opening a FIFO or a device returns at once instead
    // of waiting for a writer; only a regular file is read or written.
    const int fd = ::open(fileName.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) throw EFOpenError("Cannot open file \"" + fileName + "\". " + SysError());
    struct stat st;
    const char* refusal = nullptr;
    if (fstat(fd, &st) != 0)
        refusal = "Cannot read its status";
    else if (S_ISDIR(st.st_mode))
        refusal = "Is a directory";
    else if (!S_ISREG(st.st_mode))
        refusal = "Not a regular file";
    if (refusal) {
        ::close(fd);
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + refusal);
    }
    // Reads of a regular file never block; clearing the flag keeps reads
    // whole on file systems that honour it (network shares).
    const int fl = fcntl(fd, F_GETFL);
    if (fl >= 0) fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    return fd;
}

TFileStream::TFileStream(const std::string& fileName, Mode mode) : name_(fileName) {
    const int flags = mode == OpenRead ? O_RDONLY
                      : mode == Create ? O_RDWR | O_CREAT | O_TRUNC
                                       : O_RDWR;
    const int fd = OpenRegularFile(fileName, flags);
    f_ = fdopen(fd, mode == OpenRead ? "rb" : mode == Create ? "w+b" : "r+b");
    if (!f_) {
        const std::string err = SysError();
        ::close(fd);
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + err);
    }
    writing_ = mode != OpenRead;
    setvbuf(f_, nullptr, _IOFBF, 1 << 16);
}

TFileStream::~TFileStream() {
    if (f_) std::fclose(f_);
}

void TFileStream::Close() {
    if (!f_) return;
    bool ok = std::fflush(f_) == 0;
    ok = (std::fclose(f_) == 0) && ok;
    f_ = nullptr;
    if (!ok && writing_) throw EWriteError("Stream write error");
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    if (!f_ || count <= 0) return 0;
    return int64_t(std::fread(buffer, 1, size_t(count), f_));
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    if (!f_ || count <= 0) return 0;
    return int64_t(std::fwrite(buffer, 1, size_t(count), f_));
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    if (!f_) throw EStreamError("Stream closed");
    if (origin == TSeekOrigin::Current && offset == 0) return ftello(f_);
    int64_t target = SeekTarget(ftello(f_), origin == TSeekOrigin::End ? Size() : 0, offset, origin);
    if (fseeko(f_, target, SEEK_SET) != 0) throw EStreamError("Invalid stream seek");
    return target;
}

int64_t TFileStream::Size() {
    if (!f_) return 0;
    std::fflush(f_);
    struct stat st;
    if (fstat(fileno(f_), &st) != 0) return 0;
    return st.st_size;
}

// ---- TMemoryStream

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || pos_ >= int64_t(data_.size())) return 0;
    int64_t n = std::min<int64_t>(count, int64_t(data_.size()) - pos_);
    std::memcpy(buffer, data_.data() + pos_, size_t(n));
    pos_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    if (pos_ + count > int64_t(data_.size())) data_.resize(size_t(pos_ + count));
    std::memcpy(data_.data() + pos_, buffer, size_t(count));
    pos_ += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    pos_ = SeekTarget(pos_, int64_t(data_.size()), offset, origin);
    return pos_;
}

// ---- TReadOnlyMemoryStream

int64_t TReadOnlyMemoryStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || pos_ >= size_) return 0;
    int64_t n = std::min<int64_t>(count, size_ - pos_);
    std::memcpy(buffer, data_ + pos_, size_t(n));
    pos_ += n;
    return n;
}

int64_t TReadOnlyMemoryStream::Write(const void*, int64_t) {
    throw EWriteError("Stream write error");
}

int64_t TReadOnlyMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    pos_ = SeekTarget(pos_, size_, offset, origin);
    return pos_;
}

// ---- TSafeFileStream

TSafeFileStream::TSafeFileStream(const std::string& target) : target_(target) {
    // A read-only file (no owner write bit) is not replaced: renaming over it
    // would go round the protection its owner gave it.
    struct stat existing;
    if (stat(target.c_str(), &existing) == 0 && !S_ISDIR(existing.st_mode) &&
        (existing.st_mode & S_IWUSR) == 0)
        throw EFOpenError("Cannot create file \"" + target + "\". Permission denied");
    std::string base = target.substr(target.rfind('/') == std::string::npos ? 0 : target.rfind('/') + 1);
    std::string tmpl = FolderOf(target) + "/." + base + ".XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    int fd = mkstemp(buf.data());
    if (fd < 0) throw EFOpenError("Cannot create file \"" + target + "\". " + SysError());
    temp_ = buf.data();
    // Keep the permissions a plain new file would get; mkstemp makes it 0600.
    mode_t um = umask(0);
    umask(um);
    struct stat st;
    mode_t mode = (0666 & ~um);
    if (stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;
    fchmod(fd, mode);
    f_ = fdopen(fd, "w+b");
    if (!f_) {
        ::close(fd);
        ::unlink(temp_.c_str());
        throw EFOpenError("Cannot create file \"" + target + "\". " + SysError());
    }
    setvbuf(f_, nullptr, _IOFBF, 1 << 16);
}

TSafeFileStream::~TSafeFileStream() {
    if (f_) std::fclose(f_);
    if (!committed_) ::unlink(temp_.c_str());
}

int64_t TSafeFileStream::Read(void* buffer, int64_t count) {
    if (!f_ || count <= 0) return 0;
    return int64_t(std::fread(buffer, 1, size_t(count), f_));
}

int64_t TSafeFileStream::Write(const void* buffer, int64_t count) {
    if (!f_ || count <= 0) return 0;
    return int64_t(std::fwrite(buffer, 1, size_t(count), f_));
}

int64_t TSafeFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    if (!f_) throw EStreamError("Stream closed");
    int64_t target = SeekTarget(ftello(f_), origin == TSeekOrigin::End ? Size() : 0, offset, origin);
    if (fseeko(f_, target, SEEK_SET) != 0) throw EStreamError("Invalid stream seek");
    return target;
}

int64_t TSafeFileStream::Size() {
    if (!f_) return 0;
    std::fflush(f_);
    struct stat st;
    if (fstat(fileno(f_), &st) != 0) return 0;
    return st.st_size;
}

void TSafeFileStream::Commit() {
    if (!f_ || committed_) return;
    bool ok = std::fflush(f_) == 0 && fsync(fileno(f_)) == 0;
    ok = (std::fclose(f_) == 0) && ok;
    f_ = nullptr;
    if (!ok) throw EWriteError("Stream write error");
    if (std::rename(temp_.c_str(), target_.c_str()) != 0)
        throw EWriteError("Cannot create file \"" + target_ + "\". " + SysError());
    committed_ = true;
}

std::vector<uint8_t> ReadWholeFile(const std::string& fileName) {
    TFileStream f(fileName, TFileStream::OpenRead);
    int64_t size = f.Size();
    std::vector<uint8_t> data(size_t(std::max<int64_t>(size, 0)));
    f.ReadBuffer(data.data(), int64_t(data.size()));
    return data;
}
