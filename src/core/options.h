#pragma once
// Process-wide options of the image library that every picture and load sees.
// One set per process; the editor's save-options dialog edits them.
//
// Workers (the preloader, thumbnails, converters) read these while the
// window's thread may set them: each is read and written whole (atomically),
// only the window's thread changes them, and a job that needs several reads
// its values once when it starts and keeps to them.

#include <atomic>
#include <mutex>

// An option that is no plain number (the extended-precision gamma, a
// resolution fraction): read and written whole under its own small lock,
// as std::atomic of such types is not lock-free everywhere and may need
// libatomic.
template <class T> class TSharedOption {
public:
    constexpr explicit TSharedOption(T value) : value_(value) {}
    TSharedOption(const TSharedOption&) = delete;
    TSharedOption& operator=(const TSharedOption&) = delete;
    TSharedOption& operator=(T value) {
        std::lock_guard lock(guard_);
        value_ = value;
        return *this;
    }
    operator T() const {
        std::lock_guard lock(guard_);
        return value_;
    }
    T Get() const { return *this; }

private:
    mutable std::mutex guard_;
    T value_;
};

// Gamma of the display the pictures are corrected for.
extern TSharedOption<long double> DisplayGamma;
// Whether loads correct a picture's gamma to DisplayGamma.
extern std::atomic<bool> GammaCorrection;

// Largest pixel store a picture may allocate. Above it SetFormat raises the
// picture's allocation error instead of allocating.
constexpr long long kPGDefaultMaxImageBytes = 1LL << 30;
extern std::atomic<long long> PGMaxImageBytes;
