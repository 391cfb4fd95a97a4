#pragma once
// Forward reading of a stream through a buffer, for decoders that take their
// input a byte at a time (run-length codes, text headers). The stream is read
// in large blocks; when the data runs out the decoder's own exception is
// raised, so a short file is an error and never read as zeros.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "core/stream.h"

template <class E> class TInputBuffer {
public:
    TInputBuffer(TStream& stream, std::string endMessage, int64_t size = 1 << 16)
        : stream_(stream), endMessage_(std::move(endMessage)), size_(size),
          buf_(new uint8_t[size_t(size)]) {}

    // The next byte; the end of the data raises E(endMessage).
    uint8_t Get() {
        if (pos_ == len_) Fill();
        return buf_[pos_++];
    }
    // The next byte, or -1 at the end of the data.
    int Peek() {
        if (pos_ == len_ && !TryFill()) return -1;
        return buf_[pos_];
    }
    void Skip() { ++pos_; }
    // Copies exactly n bytes; the end of the data raises.
    void Take(uint8_t* dst, int64_t n) {
        while (n > 0) {
            if (pos_ == len_) Fill();
            const int64_t k = std::min(n, len_ - pos_);
            std::memcpy(dst, buf_.get() + pos_, size_t(k));
            pos_ += k;
            dst += k;
            n -= k;
        }
    }
    // Forgets the buffered bytes, after the caller moved the stream.
    void Reset() { pos_ = len_ = 0; }
    // Stream position of the next byte this buffer hands out.
    int64_t Position() { return stream_.Position() - (len_ - pos_); }
    [[noreturn]] void RaiseEnd() const { throw E(endMessage_); }

private:
    bool TryFill() {
        len_ = stream_.Read(buf_.get(), size_);
        pos_ = 0;
        if (len_ < 0) len_ = 0;
        return len_ > 0;
    }
    void Fill() {
        if (!TryFill()) RaiseEnd();
    }

    TStream& stream_;
    std::string endMessage_;
    int64_t size_;
    std::unique_ptr<uint8_t[]> buf_;
    int64_t pos_ = 0;
    int64_t len_ = 0;
};
