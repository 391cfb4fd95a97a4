#pragma once
// Decodes the pictures the preview will most likely show next (the files
// before and after the shown one) on a worker thread, so that stepping
// through a folder of large photos shows each one at once.
//
// Each picture is made and loaded by the worker alone and handed over whole:
// no picture is ever used by two threads at a time. A result is given out
// only when it is exactly what a plain load would give now: same file (size,
// times and inode unchanged since it was read), same load settings, same
// process-wide load options, and no change of folder or list order since it
// was asked for (a generation counter).
//
// What belongs on the window's thread is left to the plain load: files whose
// reader (the one the registry picks for the content, whatever the name)
// draws through the window system, such as metafiles, and loads whose
// warnings ask in a message box.

#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/pixelgraphic.h"

// What a plain load of the preview sets on its picture before reading.
struct TPreloadSettings {
    TPGWarningAction readWarningAction = pgwaIgnore;
    TRGB backgroundColor = 0;
    bool operator==(const TPreloadSettings&) const = default;
};

// What pictures decoded ahead may hold in total. Three neighbours of a
// large picture would otherwise take gigabytes; a picture larger than the
// budget on its own is never decoded ahead (the plain load reads it).
inline constexpr long long kPreloadBudgetBytes = 512LL << 20;

// One decode asked for: the whole picture (reduce 0), or a JPEG reduced on
// load so that each side keeps at least `reduce` pixels (a quick first look
// at a picture the pane shows much smaller than it is).
struct TPreloadRequest {
    QString path;
    int reduce = 0;
    bool operator==(const TPreloadRequest&) const = default;
};

class TPreloader {
  public:
    TPreloader();
    ~TPreloader(); // stops the worker (the running decode is abandoned)
    TPreloader(const TPreloader&) = delete;
    TPreloader& operator=(const TPreloader&) = delete;

    bool Enabled() const { return enabled_; }
    // Off drops everything and decodes nothing until switched on again.
    void SetEnabled(bool on);

    // The folder or the list order changed: every result and job of before
    // is dropped.
    void Invalidate();
    // Decode exactly these files (in this order of priority); results and
    // jobs for other files are dropped.
    void Want(const QStringList& paths, const TPreloadSettings& settings);
    void Want(const std::vector<TPreloadRequest>& requests, const TPreloadSettings& settings);
    // The preloaded picture of `path` (at reduction `reduce`), when one is
    // ready or, with `wait`, being decoded (then it is waited for) and still
    // matches the file and the settings; else null, and the caller loads the
    // file itself.
    std::unique_ptr<TPixelGraphic> Take(const QString& path, const TPreloadSettings& settings,
                                        int reduce = 0, bool wait = true);
    // Called on the worker each time a decode ends, kept or not (the
    // receiver posts itself a message; it must not call back in).
    void SetOnDone(std::function<void(const QString& path, int reduce)> onDone);
    // True while the decode is queued or running.
    bool Pending(const QString& path, int reduce) const;

    // Frees `picture` on the worker: a large picture takes milliseconds to
    // give back, which the user-interface thread need not wait for.
    void Dispose(std::unique_ptr<TPixelGraphic> picture);

    // The memory budget of the pictures held (kPreloadBudgetBytes unless set).
    void SetBudget(long long bytes);
    long long Budget() const;
    // Bytes of the pictures ready now.
    long long HeldBytes() const;

    // Waits until nothing is queued or being decoded (benchmarks, tests).
    void WaitIdle();
    // Paths with a whole picture ready now.
    QStringList Ready() const;

  private:
    struct Stamp {
        bool ok = false;
        long long size = 0, mtimeNs = 0, ctimeNs = 0, ino = 0, dev = 0;
        bool operator==(const Stamp&) const = default;
    };
    // The process-wide options a load reads.
    struct Options {
        long double displayGamma = 0;
        bool gammaCorrection = false;
        int jpegReadMethod = 0;
        long long maxImageBytes = 0;
        bool operator==(const Options&) const = default;
    };
    using Key = std::pair<QString, int>; // path, reduce
    struct Job {
        QString path;
        int reduce = 0;
        TPreloadSettings settings;
        unsigned long long generation = 0;
    };
    struct Result {
        unsigned long long generation = 0;
        TPreloadSettings settings;
        Stamp stamp;
        Options options;
        std::unique_ptr<TPixelGraphic> picture;
    };

    static Stamp StampOf(const QString& path);
    // The store a decode of `path` (at `reduce`) will need, from its header;
    // -1 unknown.
    static long long EstimatedBytes(const QString& path, int reduce);
    long long HeldBytesLocked() const; // with mutex_ held
    static Options CurrentOptions();
    void Run();
    bool Wanted(const Key& key) const; // with mutex_ held

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Job> jobs_;
    std::map<Key, Result> results_;
    std::vector<std::unique_ptr<TPixelGraphic>> trash_; // freed by the worker
    std::vector<Key> wanted_;
    QString running_; // path being decoded, empty when none
    int runningReduce_ = 0;
    std::function<void(const QString&, int)> onDone_;
    std::atomic<bool> cancelRunning_{false};
    unsigned long long generation_ = 1;
    bool enabled_ = true;
    long long budget_ = kPreloadBudgetBytes;
    bool stop_ = false;
    std::thread worker_;
};
