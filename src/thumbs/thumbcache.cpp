#include "thumbs/thumbcache.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "core/registry.h"
#include "core/stream.h"

namespace {
constexpr qint64 kMaxEntryBytes = 4 << 20; // a 256 x 256 PNG is far below this
const char* const kSoftware = "Tavirlo 7.8";

uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

void PutBe32(QByteArray& b, uint32_t v) {
    b.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
}

QByteArray TextChunk(const QByteArray& key, const QByteArray& value) {
    QByteArray data = "tEXt" + key + '\0' + value;
    QByteArray chunk;
    PutBe32(chunk, uint32_t(data.size() - 4));
    chunk += data;
    PutBe32(chunk, uint32_t(crc32(0, reinterpret_cast<const Bytef*>(data.constData()),
                                  uInt(data.size()))));
    return chunk;
}

std::optional<qint64> MTimeOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return qint64(st.st_mtime);
}

bool InsideCache(const QString& absPath) {
    const QString root = QDir::cleanPath(ThumbCacheRoot());
    return absPath == root || absPath.startsWith(root + "/");
}

// Reads a file only when it is a regular file of sane size.
std::optional<QByteArray> ReadEntry(const QString& path) {
    QFileInfo fi(path);
    if (!fi.isFile() || fi.size() > kMaxEntryBytes) return std::nullopt;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    return f.read(kMaxEntryBytes);
}

// Writes bytes to `path` through a private temporary file renamed into place:
// readers see either the old entry or the whole new one. Folders 0700, files 0600.
void WriteEntry(const QString& path, const QByteArray& bytes) {
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir)) return;
    for (QString d = dir; d.startsWith(ThumbCacheRoot()); d = QFileInfo(d).absolutePath()) {
        ::chmod(QFile::encodeName(d).constData(), 0700);
        if (d == ThumbCacheRoot()) break;
    }
    QByteArray tmpl = QFile::encodeName(dir + "/.tavirlo-XXXXXX");
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return;
    ::fchmod(fd, 0600);
    bool ok = true;
    for (qint64 done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        ok = n > 0;
        done += n > 0 ? n : 0;
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(tmpl.constData(), QFile::encodeName(path).constData()) != 0)
        ::unlink(tmpl.constData());
}

QByteArray EntryPng(TPixelGraphic& picture, const QString& uri, qint64 mtime, qint64 size, int w,
                    int h) {
    TMemoryStream s;
    picture.SaveToStreamExt(s, "png");
    const std::vector<uint8_t>& d = s.Data();
    QByteArray png(reinterpret_cast<const char*>(d.data()), qsizetype(d.size()));
    // The keys go right after IHDR (8 signature + 25 bytes of chunk).
    if (png.size() < 33) return {};
    QByteArray keys = TextChunk("Thumb::URI", uri.toUtf8()) +
                      TextChunk("Thumb::MTime", QByteArray::number(mtime)) +
                      TextChunk("Thumb::Size", QByteArray::number(size)) +
                      TextChunk("Thumb::Image::Width", QByteArray::number(w)) +
                      TextChunk("Thumb::Image::Height", QByteArray::number(h)) +
                      TextChunk("Software", kSoftware);
    png.insert(33, keys);
    return png;
}

QString FailPath(const QString& absPath) {
    return ThumbCacheRoot() + "/fail/tavirlo-7.8/" + ThumbCacheName(absPath);
}

// A matching entry decoded into `entry`, with the file's own size.
bool UseEntry(const QString& entryPath, const QString& uri, qint64 mtime, int side,
              TPixelGraphic& entry, int& W, int& H, bool& failMarker) {
    const auto bytes = ReadEntry(entryPath);
    if (!bytes) return false;
    const auto keys = ReadThumbCacheKeys(*bytes);
    if (!keys || keys->uri != uri || keys->mtime != mtime) return false;
    if (failMarker) return true; // a failure marker needs no pixels
    try {
        TReadOnlyMemoryStream s(bytes->constData(), bytes->size());
        // Check the size before decoding: a hostile entry may claim anything.
        std::string type;
        TPGImageInfo info;
        if (!GetImageInfo(s, "png", 0, type, info) || info.Width < 1 || info.Height < 1 ||
            std::max(info.Width, info.Height) > side)
            return false;
        s.Seek(0, TSeekOrigin::Beginning);
        entry.SetReadWarningAction(pgwaIgnore);
        entry.LoadFromStreamExt(s, "png", 0);
    } catch (const std::exception&) {
        return false;
    }
    W = keys->imageWidth;
    H = keys->imageHeight;
    return entry.GetWidth() > 0 && entry.GetHeight() > 0;
}
} // namespace

QString ThumbCacheRoot() {
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + "/.cache";
    return QDir::cleanPath(base + "/thumbnails");
}

QString ThumbFileUri(const QString& absPath) {
    return QString::fromLatin1(QUrl::fromLocalFile(absPath).toEncoded());
}

QString ThumbCacheName(const QString& absPath) {
    return QString::fromLatin1(
               QCryptographicHash::hash(ThumbFileUri(absPath).toUtf8(), QCryptographicHash::Md5)
                   .toHex()) +
           ".png";
}

int ThumbCacheSide(int S) {
    return S <= 128 ? 128 : 256;
}

QString ThumbCachePath(const QString& absPath, int S) {
    return ThumbCacheRoot() + (S <= 128 ? "/normal/" : "/large/") + ThumbCacheName(absPath);
}

std::optional<TThumbCacheEntry> ReadThumbCacheKeys(const QByteArray& png) {
    static const char kSig[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
    if (png.size() < 8 || std::memcmp(png.constData(), kSig, 8) != 0) return std::nullopt;
    const auto* b = reinterpret_cast<const uint8_t*>(png.constData());
    const qint64 n = png.size();
    TThumbCacheEntry e;
    bool sawUri = false, sawMTime = false;
    for (qint64 at = 8; at + 12 <= n;) {
        const qint64 len = Be32(b + at);
        if (len > n - at - 12) return std::nullopt; // truncated
        const QByteArray type(png.constData() + at + 4, 4);
        if (type == "IDAT" || type == "IEND") break;
        if (type == "tEXt") {
            const QByteArray data(png.constData() + at + 8, len);
            const int zero = data.indexOf('\0');
            if (zero > 0) {
                const QByteArray key = data.left(zero), value = data.mid(zero + 1);
                bool ok = false;
                if (key == "Thumb::URI") {
                    e.uri = QString::fromUtf8(value);
                    sawUri = true;
                } else if (key == "Thumb::MTime") {
                    e.mtime = value.toLongLong(&ok);
                    sawMTime = ok;
                } else if (key == "Thumb::Image::Width") {
                    const int v = value.toInt(&ok);
                    e.imageWidth = ok && v > 0 ? v : 0;
                } else if (key == "Thumb::Image::Height") {
                    const int v = value.toInt(&ok);
                    e.imageHeight = ok && v > 0 ? v : 0;
                }
            }
        }
        at += 12 + len;
    }
    if (!sawUri || !sawMTime) return std::nullopt;
    return e;
}

bool MakeCachedThumbnail(const std::string& path, const TThumbOptions& o, TPixelGraphic& square) {
    const QString abs = QDir::cleanPath(QFileInfo(QString::fromStdString(path)).absoluteFilePath());
    const auto mtime = MTimeOf(path);
    if (!mtime || InsideCache(abs)) return MakeThumbnail(path, o, square);
    const QString uri = ThumbFileUri(abs);
    const int side = ThumbCacheSide(o.size);
    TPixelGraphic entry, scaled;
    int W = 0, H = 0;
    bool failMarker = false;
    if (UseEntry(ThumbCachePath(abs, o.size), uri, *mtime, side, entry, W, H, failMarker)) {
        if (W < 1 || H < 1) {
            // No size keys: the file's header tells.
            std::string type;
            TPGImageInfo info;
            if (GetFileImageInfo(path, 0, type, info) && info.Width > 0 && info.Height > 0) {
                W = info.Width;
                H = info.Height;
            } else {
                W = entry.GetWidth();
                H = entry.GetHeight();
            }
        }
        PlaceThumbnail(entry, W, H, o, scaled, square);
        return true;
    }
    failMarker = true;
    if (UseEntry(FailPath(abs), uri, *mtime, side, entry, W, H, failMarker))
        return PlaceQuestionMark(o, square), false; // known unreadable

    TPixelGraphic source;
    TThumbOptions read = o;
    read.loadHint = std::max(o.loadHint, side);
    try {
        LoadThumbSource(path, read, source, W, H);
    } catch (const std::exception&) {
        // Remember files that open but do not decode; one we may not read
        // (yet) is tried again next time.
        if (::access(path.c_str(), R_OK) == 0) {
            TPixelGraphic marker;
            marker.SetFormat(1, 1, pg24Bit);
            const QByteArray png = EntryPng(marker, uri, *mtime, QFileInfo(abs).size(), 0, 0);
            if (!png.isEmpty()) WriteEntry(FailPath(abs), png);
        }
        PlaceQuestionMark(o, square);
        return false;
    }
    // The entry: the picture fitted into the cache's side, never enlarged.
    int ew = W, eh = H;
    if (W > side || H > side) {
        const TThumbPlace p = ThumbPlace(W, H, side);
        ew = p.width;
        eh = p.height;
    }
    entry.SetStretchMode(smPrecise);
    entry.SetFormat(ew, eh, pg24Bit);
    entry.CopyFrom(source);
    try {
        const QByteArray png = EntryPng(entry, uri, *mtime, QFileInfo(abs).size(), W, H);
        if (!png.isEmpty()) WriteEntry(ThumbCachePath(abs, o.size), png);
    } catch (const std::exception&) {
        // A cache that cannot be written costs only speed.
    }
    PlaceThumbnail(source, W, H, o, scaled, square);
    return true;
}
