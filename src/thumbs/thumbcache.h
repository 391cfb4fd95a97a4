#pragma once
// The shared freedesktop thumbnail cache, for the explorer's grid only (saved
// thumbnails stay our own files). Entries are PNGs named by the MD5 of the
// file's URI under $XDG_CACHE_HOME/thumbnails/normal (up to 128 pixels) or
// large (up to 256), carrying Thumb::URI and Thumb::MTime; an entry counts
// only when both match the file now and it fits its size. Unreadable files
// leave a marker under fail/tavirlo-<version>/ so they are not tried again
// until they change.

#include <QString>
#include <optional>

#include "core/pixelgraphic.h"
#include "thumbs/thumbmaker.h"

QString ThumbCacheRoot();                       // .../thumbnails
QString ThumbFileUri(const QString& absPath);   // file:///... percent-encoded
QString ThumbCacheName(const QString& absPath); // md5 hex + ".png"
int ThumbCacheSide(int S);                      // 128 (normal) or 256 (large)
QString ThumbCachePath(const QString& absPath, int S);

// What an entry says about itself.
struct TThumbCacheEntry {
    QString uri;
    qint64 mtime = -1;
    int imageWidth = 0; // Thumb::Image::Width/Height: the file's own size, 0 when absent
    int imageHeight = 0;
};

// Reads the text keys of a PNG entry (bounded; none for a damaged file).
std::optional<TThumbCacheEntry> ReadThumbCacheKeys(const QByteArray& png);

// The grid's thumbnail of `path` through the cache: a matching entry is
// used as it is; otherwise the file is read, an entry written (or a failure
// marker) and the square made. False when the file could not be read (the
// question mark stands in). Files inside the cache are never cached.
bool MakeCachedThumbnail(const std::string& path, const TThumbOptions& o, TPixelGraphic& square);
