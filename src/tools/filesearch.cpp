#include "tools/filesearch.h"

#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace {

// Iterative wildcard match with one backtracking point: linear enough for
// file names, and no recursion on hostile names full of "*".
template <typename Ch, typename Fold>
bool WildMatch(const Ch* name, std::size_t n, const Ch* pat, std::size_t m, Fold fold) {
    std::size_t i = 0, p = 0, starP = std::size_t(-1), starN = 0;
    while (i < n) {
        if (p < m && (pat[p] == Ch('?') || (pat[p] != Ch('*') && pat[p] == fold(name[i])))) {
            ++i;
            ++p;
        } else if (p < m && pat[p] == Ch('*')) {
            starP = p++;
            starN = i;
        } else if (starP != std::size_t(-1)) {
            p = starP + 1;
            i = ++starN;
        } else {
            return false;
        }
    }
    while (p < m && pat[p] == Ch('*'))
        ++p;
    return p == m;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

bool IsAscii(const char* s, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
    return true;
}

struct FolderKey {
    dev_t dev;
    ino_t ino;
    bool operator==(const FolderKey&) const = default;
};
struct FolderKeyHash {
    std::size_t operator()(const FolderKey& k) const noexcept {
        return std::hash<std::uint64_t>()(std::uint64_t(k.ino) * 1000003u ^ std::uint64_t(k.dev));
    }
};

// A folder waiting to be listed, with the identity it had when its parent
// was listed: a folder swapped for a link in between is not followed.
struct PendingFolder {
    QByteArray path; // with a trailing "/"
    FolderKey key;
};

class DirCloser {
  public:
    explicit DirCloser(DIR* d) : d_(d) {}
    ~DirCloser() {
        if (d_) ::closedir(d_);
    }
    DirCloser(const DirCloser&) = delete;
    DirCloser& operator=(const DirCloser&) = delete;

  private:
    DIR* d_;
};

} // namespace

TNamePattern::TNamePattern(const QString& pattern) {
    QStringList texts = pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    // No pattern at all keeps the one empty pattern (it matches nothing).
    if (texts.isEmpty()) texts << QString();
    for (const QString& text : texts) {
        if (text == QLatin1String("*.*")) all_ = true;
        TPart part{text.toCaseFolded(), {}};
        const QByteArray latin = text.toLatin1();
        if (IsAscii(latin.constData(), std::size_t(latin.size())) &&
            QString::fromLatin1(latin) == text)
            part.ascii = latin.toLower();
        parts_.push_back(std::move(part));
    }
}

bool TNamePattern::Matches(const QString& name) const {
    if (all_) return true;
    const QString folded = name.toCaseFolded();
    for (const TPart& p : parts_)
        if (WildMatch(folded.constData(), std::size_t(folded.size()), p.folded.constData(),
                      std::size_t(p.folded.size()), [](QChar c) { return c; }))
            return true;
    return false;
}

bool TNamePattern::PartMatches(const TPart& p, const char* name, std::size_t length) const {
    if ((!p.ascii.isEmpty() || p.folded.isEmpty()) && IsAscii(name, length))
        return WildMatch(name, length, p.ascii.constData(), std::size_t(p.ascii.size()),
                         AsciiLower);
    const QString folded =
        QFile::decodeName(QByteArray::fromRawData(name, qsizetype(length))).toCaseFolded();
    return WildMatch(folded.constData(), std::size_t(folded.size()), p.folded.constData(),
                     std::size_t(p.folded.size()), [](QChar c) { return c; });
}

bool TNamePattern::Matches(const char* name, std::size_t length) const {
    if (all_) return true;
    for (const TPart& p : parts_)
        if (PartMatches(p, name, length)) return true;
    return false;
}

TSearchWalk::TSearchWalk(const QString& pattern) : pattern_(pattern) {}

TSearchEnd TSearchWalk::Walk(const QByteArray& root, int* error) {
    QByteArray top = root;
    if (!top.endsWith('/')) top += '/';
    const auto deviceOf = [this](const QByteArray& folder, dev_t real) {
        return seams.device ? seams.device(folder, real) : real;
    };

    // Probe the root now: "Selected Drive" reports a root it cannot read.
    struct stat st {};
    {
        if (seams.refuseOpen && seams.refuseOpen(top)) {
            if (error) *error = EACCES;
            return TSearchEnd::RootFailed;
        }
        const int fd = ::open(top.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            if (error) *error = errno;
            if (fd >= 0) ::close(fd);
            return TSearchEnd::RootFailed;
        }
        ::close(fd);
    }
    const dev_t rootDev = deviceOf(top, st.st_dev);

    std::unordered_set<FolderKey, FolderKeyHash> visited;
    visited.insert({st.st_dev, st.st_ino});
    std::vector<PendingFolder> stack{{top, {st.st_dev, st.st_ino}}};
    std::vector<QByteArray> subfolders;
    bool first = true;

    while (!stack.empty()) {
        if (Stopped()) return TSearchEnd::Stopped;
        const PendingFolder folder = std::move(stack.back());
        stack.pop_back();
        // Said before the folder is opened: a folder slow to open (a sleeping
        // network share) is the one the user should see named.
        if (onFolder) onFolder(folder.path);
        if (seams.refuseOpen && seams.refuseOpen(folder.path)) continue;

        // The root may itself be reached through a link (a drive's mount
        // root given as a link); below it no link is followed, so the name
        // is opened without its trailing "/" (which would follow one).
        const int fd = first ? ::open(folder.path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                             : ::open(folder.path.chopped(1).constData(),
                                      O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        first = false;
        if (fd < 0) continue; // unreadable: skip this folder, go on with the rest
        struct stat fst {};
        if (::fstat(fd, &fst) != 0 || fst.st_dev != folder.key.dev ||
            fst.st_ino != folder.key.ino) {
            ::close(fd);
            continue;
        }
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            continue;
        }
        DirCloser closer(dir);

        subfolders.clear();
        while (dirent* e = ::readdir(dir)) {
            const char* name = e->d_name;
            if (name[0] == '.') continue; // ".", ".." and hidden names
            if (Stopped()) return TSearchEnd::Stopped;
            unsigned char type = e->d_type;
            if (type == DT_UNKNOWN) {
                struct stat est {};
                if (::fstatat(fd, name, &est, AT_SYMLINK_NOFOLLOW) != 0) continue;
                type = S_ISDIR(est.st_mode)   ? DT_DIR
                       : S_ISREG(est.st_mode) ? DT_REG
                       : S_ISLNK(est.st_mode) ? DT_LNK
                                              : DT_UNKNOWN;
            }
            if (type == DT_DIR) {
                subfolders.emplace_back(name);
                continue;
            }
            if (type != DT_REG && type != DT_LNK) continue;
            const std::size_t len = std::strlen(name);
            if (!pattern_.Matches(name, len)) continue;
            if (type == DT_LNK) {
                struct stat target {};
                if (::fstatat(fd, name, &target, 0) != 0 || !S_ISREG(target.st_mode)) continue;
            }
            if (found >= cap) return TSearchEnd::CapReached;
            ++found;
            if (onFound) {
                QByteArray path;
                path.reserve(folder.path.size() + qsizetype(len));
                path.append(folder.path).append(name, qsizetype(len));
                onFound(std::move(path));
            }
        }

        // Subfolders in listing order: pushed backwards so the first is next.
        for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) {
            struct stat sst {};
            if (::fstatat(fd, it->constData(), &sst, AT_SYMLINK_NOFOLLOW) != 0 ||
                !S_ISDIR(sst.st_mode))
                continue;
            QByteArray path = folder.path + *it + '/';
            if (deviceOf(path, sst.st_dev) != rootDev) continue; // another file system
            if (!visited.insert({sst.st_dev, sst.st_ino}).second) continue;
            stack.push_back({std::move(path), {sst.st_dev, sst.st_ino}});
        }
    }
    return TSearchEnd::Finished;
}

bool SearchResultLess(const QString& a, const QString& b) {
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

void SortSearchResults(std::vector<QByteArray>& paths) {
    std::vector<QString> names;
    names.reserve(paths.size());
    for (const QByteArray& p : paths)
        names.push_back(QFile::decodeName(p));
    std::vector<std::size_t> order(paths.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return SearchResultLess(names[a], names[b]); });
    std::vector<QByteArray> sorted;
    sorted.reserve(paths.size());
    for (std::size_t i : order)
        sorted.push_back(std::move(paths[i]));
    paths = std::move(sorted);
}

int FindResultRow(const QStringList& names, const QString& fileName) {
    if (fileName.isEmpty()) return -1;
    const qsizetype exact = names.indexOf(fileName);
    if (exact >= 0) return int(exact);
    for (qsizetype i = 0; i < names.size(); ++i)
        if (names[i].startsWith(fileName, Qt::CaseInsensitive)) return int(i);
    return -1;
}
