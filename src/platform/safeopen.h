#pragma once
// Opening files by name with Qt under the same rule as the image library's
// streams (core/stream.h, OpenRegularFile): only regular files are opened,
// and a FIFO, a device or a socket, also one swapped in after a folder was
// listed, is refused at once instead of blocking the window. Names are the
// file system's bytes: a name read from a folder is opened by those bytes,
// never by its displayed (possibly replaced) characters.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <optional>

// The bytes of `path` for the file system (QFile::encodeName).
QByteArray NativePathOf(const QString& path);
// True when `native` survives the way through QString unchanged, so that
// Qt classes taking a QString path reach this very file.
bool IsQStringSafe(const QByteArray& native);
// Display form of file-system bytes: invalid sequences become U+FFFD.
QString DisplayPath(const QByteArray& native);

// Opens `f` on `native` with `mode` when it is a regular file; false with
// `error` ("Cannot open file ...") otherwise. `f` closes the file.
bool OpenRegularQFile(QFile& f, const QByteArray& native, QIODevice::OpenMode mode,
                      QString* error = nullptr);
bool OpenRegularQFile(QFile& f, const QString& path, QIODevice::OpenMode mode,
                      QString* error = nullptr);

// Reads a whole regular file of at most `maxBytes`; nullopt otherwise.
std::optional<QByteArray> ReadRegularFile(const QByteArray& native, qint64 maxBytes);

// True when nothing is there, or a regular file is (lstat's target may be a
// link to one). A settings or bookmarks file that is anything else is left
// alone: reading a FIFO would block, replacing it would lose what it stands for.
bool IsAbsentOrRegular(const QString& path);
