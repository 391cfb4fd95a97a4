#pragma once
// The EXIF reader on files: opened only when they are regular files (a pipe
// or a device would block or never end), read with plain positioned reads
// (a file cut short meanwhile gives a short read, not a crash).

#include <string>
#include <vector>

#include "core/stream.h"
#include "meta/exif/exifreader.h"

// A regular file opened for reading. Anything else (missing, a folder, a
// pipe, a device) raises EFOpenError with the reason, before a byte is read.
class TRegularFileStream : public TStream {
  public:
    explicit TRegularFileStream(const std::string& fileName);
    ~TRegularFileStream() override;
    TRegularFileStream(const TRegularFileStream&) = delete;
    TRegularFileStream& operator=(const TRegularFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override; // raises EWriteError
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;

  private:
    int fd_ = -1;
    int64_t pos_ = 0;
};

// True when `fileName` names a regular file (after following links).
bool IsRegularFile(const std::string& fileName);

// The rows of a file; raises EFOpenError when it cannot be opened.
void ReadExifFile(const std::string& fileName, const TExifRowSink& sink);
std::vector<TExifRow> ReadExifFileRows(const std::string& fileName);

// The orientation a camera recorded (IFD0 tag 274): 1 to 8, else 1 (also for
// files without one or that cannot be read).
int ExifOrientation(const std::string& fileName);
