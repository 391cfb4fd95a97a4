#pragma once
// The file search's walk, without widgets: the files under one drive root
// whose names match a wildcard pattern, depth first, each folder's files
// before its subfolders. The search window runs it on a worker thread;
// `tavtool search` runs it directly.
//
// The walk never changes the process's current folder (the preview loads
// relative to nothing, but other code may): folders are opened by path with
// O_NOFOLLOW and checked to be the folder that was listed. It never enters a
// link to a folder, visits each folder once by device and inode (bind mounts
// show one folder twice), stays on the root's file system like `find -xdev`,
// skips hidden names (a leading dot, files and folders) and skips a folder it
// cannot read instead of giving up the drive. Listed entries are regular
// files and links to regular files, under their own path.

#include <QByteArray>
#include <QString>
#include <atomic>
#include <cstddef>
#include <functional>
#include <sys/types.h>
#include <vector>

// The most results one search holds (what the results list can take).
inline constexpr std::size_t kSearchResultCap = 1'000'000;

// A compiled search pattern: "*" any run, "?" one character, case ignored;
// "*.*" matches every name; several patterns separated by ";" match a name
// any of them matches ("*.jpg;*.webp"). The same rule as the browser's file
// masks.
class TNamePattern {
  public:
    explicit TNamePattern(const QString& pattern);
    bool Matches(const char* name, std::size_t length) const;
    bool Matches(const QString& name) const;

  private:
    struct TPart {
        QString folded;
        QByteArray ascii; // the pattern lower-cased, when it is plain ASCII
    };
    bool PartMatches(const TPart& part, const char* name, std::size_t length) const;
    std::vector<TPart> parts_;
    bool all_ = false;
};

enum class TSearchEnd {
    Finished,   // the whole drive was walked
    Stopped,    // the stop flag was set
    CapReached, // the results reached their cap: the rest of the drive is left
    RootFailed, // the root could not be opened (error holds why)
};

struct TSearchSeams {
    // The device a folder is on (the real one is passed in); tests report
    // another one to stand for a mount point.
    std::function<dev_t(const QByteArray& folder, dev_t real)> device;
    // True to treat a folder as unreadable (tests may run as root).
    std::function<bool(const QByteArray& folder)> refuseOpen;
};

class TSearchWalk {
  public:
    explicit TSearchWalk(const QString& pattern);

    // Called with each folder before it is opened and listed (path with a
    // trailing "/").
    std::function<void(const QByteArray& folder)> onFolder;
    // Called with each match (full path), in walk order.
    std::function<void(QByteArray&& path)> onFound;
    // Set from any thread to end the walk; read between files and before
    // every folder.
    const std::atomic<bool>* stop = nullptr;
    // Results already held elsewhere count towards the cap (All Drives).
    std::size_t cap = kSearchResultCap;
    std::size_t found = 0;
    TSearchSeams seams;

    // Walks `root` (a folder). `error` receives errno for RootFailed.
    TSearchEnd Walk(const QByteArray& root, int* error = nullptr);

  private:
    bool Stopped() const { return stop && stop->load(std::memory_order_relaxed); }
    TNamePattern pattern_;
};

// The case-insensitive order of the results list (ties in exact order, so
// the order is total).
bool SearchResultLess(const QString& a, const QString& b);
// Sorts result paths in that order (on their decoded names).
void SortSearchResults(std::vector<QByteArray>& paths);

// The row of a folder listing to select for a search result's file name:
// the exact name when listed, else the first name beginning with it (case
// ignored), else -1.
int FindResultRow(const QStringList& names, const QString& fileName);
