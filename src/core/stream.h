#pragma once
// Byte streams the readers and writers work on: files, memory, and the
// safe-save file that replaces its target only once everything is written.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class TSeekOrigin { Beginning, Current, End };

class TStream {
public:
    virtual ~TStream() = default;
    // Reads up to `count` bytes; returns how many were read (0 at the end).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Returns the new position. Seeking before the start raises EStreamError.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t Size() = 0;

    int64_t Position() { return Seek(0, TSeekOrigin::Current); }
    void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::Beginning); }
    // Bytes between the position and the end.
    int64_t Remaining() { return Size() - Position(); }

    // All-or-nothing forms: a short read raises EReadError ("Stream read
    // error"), a short write EWriteError.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);

    // Little- and big-endian helpers over ReadBuffer / WriteBuffer.
    uint8_t ReadU8();
    uint16_t ReadU16LE();
    uint32_t ReadU32LE();
    uint16_t ReadU16BE();
    uint32_t ReadU32BE();
    void WriteU8(uint8_t v);
    void WriteU16LE(uint16_t v);
    void WriteU32LE(uint32_t v);
    void WriteU16BE(uint16_t v);
    void WriteU32BE(uint32_t v);
};

// Opens `fileName` with open(2) `flags` (O_RDONLY, O_RDWR | O_CREAT, ...)
// and returns the descriptor, but only when it is a regular file: a FIFO, a
// device, a socket or a folder raises EFOpenError ("Cannot open file ...")
// without ever blocking, also when the name was swapped for one of those
// after the folder was listed. Every open of a file by name goes through it.
int OpenRegularFile(const std::string& fileName, int flags);

// A file opened for reading, or created (truncated) for writing. Only
// regular files are opened (see OpenRegularFile).
class TFileStream : public TStream {
public:
    enum Mode { OpenRead, Create, OpenReadWrite };
    TFileStream(const std::string& fileName, Mode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;
    // Flushes and closes; raises EWriteError when buffered data could not be written.
    void Close();
    const std::string& FileName() const { return name_; }

private:
    std::FILE* f_ = nullptr;
    std::string name_;
    bool writing_ = false;
};

// A growable stream in memory.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> data) : data_(std::move(data)) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return int64_t(data_.size()); }
    const std::vector<uint8_t>& Data() const { return data_; }
    std::vector<uint8_t>& Data() { return data_; }

private:
    std::vector<uint8_t> data_;
    int64_t pos_ = 0;
};

// A read-only view of bytes owned by someone else (clipboard blocks, fuzz input).
class TReadOnlyMemoryStream : public TStream {
public:
    TReadOnlyMemoryStream(const void* data, int64_t size)
        : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void*, int64_t) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return size_; }

private:
    const uint8_t* data_;
    int64_t size_;
    int64_t pos_ = 0;
};

// Writes into a fresh temporary file in the target's folder; Commit() flushes
// it to disk and renames it over the target. Destroyed without Commit() (an
// error on the way), it removes the temporary file and leaves the target as
// it was, so a failed save never destroys what was there.
class TSafeFileStream : public TStream {
public:
    explicit TSafeFileStream(const std::string& target);
    ~TSafeFileStream() override;
    TSafeFileStream(const TSafeFileStream&) = delete;
    TSafeFileStream& operator=(const TSafeFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;
    void Commit();
    const std::string& TempName() const { return temp_; }

private:
    std::FILE* f_ = nullptr;
    std::string target_;
    std::string temp_;
    bool committed_ = false;
};

// Reads a whole file; raises EFOpenError / EReadError.
std::vector<uint8_t> ReadWholeFile(const std::string& fileName);
