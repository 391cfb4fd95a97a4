#include "meta/exif/exiffile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/exceptions.h"

namespace {

[[noreturn]] void RaiseOpen(const std::string& fileName, const std::string& reason) {
    throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
}

} // namespace

TRegularFileStream::TRegularFileStream(const std::string& fileName) {
    // Non-blocking, so that opening a pipe cannot hang before we know it is one.
    fd_ = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) RaiseOpen(fileName, std::strerror(errno));
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool dir = S_ISDIR(st.st_mode);
        ::close(fd_);
        fd_ = -1;
        RaiseOpen(fileName, dir ? "Is a directory" : "Not a regular file");
    }
}

TRegularFileStream::~TRegularFileStream() {
    if (fd_ >= 0) ::close(fd_);
}

int64_t TRegularFileStream::Read(void* buffer, int64_t count) {
    int64_t got = 0;
    while (got < count) {
        const ssize_t k = ::pread(fd_, static_cast<uint8_t*>(buffer) + got, size_t(count - got),
                                  off_t(pos_ + got));
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) break; // an error reads as the end: the caller sees a short read
        got += k;
    }
    pos_ += got;
    return got;
}

int64_t TRegularFileStream::Write(const void*, int64_t) {
    throw EWriteError("Stream write error");
}

int64_t TRegularFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t p = offset;
    if (origin == TSeekOrigin::Current) p += pos_;
    if (origin == TSeekOrigin::End) p += Size();
    if (p < 0) throw EStreamError("Stream seek error");
    pos_ = p;
    return pos_;
}

int64_t TRegularFileStream::Size() {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return 0;
    return int64_t(st.st_size);
}

bool IsRegularFile(const std::string& fileName) {
    struct stat st;
    return !fileName.empty() && ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void ReadExifFile(const std::string& fileName, const TExifRowSink& sink) {
    TRegularFileStream f(fileName);
    ReadExif(f, sink);
}

std::vector<TExifRow> ReadExifFileRows(const std::string& fileName) {
    std::vector<TExifRow> rows;
    ReadExifFile(fileName, [&](const TExifRow& r) { rows.push_back(r); });
    return rows;
}

int ExifOrientation(const std::string& fileName) {
    int orientation = 1;
    bool seen = false;
    try {
        ReadExifFile(fileName, [&](const TExifRow& r) {
            // The first one in IFD0 counts; a Short of 1 to 8, nothing else.
            if (seen || r.Ifd != "IFD0" || r.Tag != 274) return;
            seen = true;
            const int v = r.Type == 3 && r.Count > 0 ? std::atoi(r.Value.c_str()) : 0;
            if (v >= 1 && v <= 8) orientation = v;
        });
    } catch (const Exception&) {
    }
    return orientation;
}
