#include "platform/safeopen.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/exceptions.h"
#include "core/stream.h"

QByteArray NativePathOf(const QString& path) {
    return QFile::encodeName(path);
}

bool IsQStringSafe(const QByteArray& native) {
    return QFile::encodeName(QFile::decodeName(native)) == native;
}

QString DisplayPath(const QByteArray& native) {
    return QFile::decodeName(native);
}

bool OpenRegularQFile(QFile& f, const QByteArray& native, QIODevice::OpenMode mode,
                      QString* error) {
    int flags = O_RDONLY;
    if (mode & QIODevice::WriteOnly) {
        flags = (mode & QIODevice::ReadOnly) ? O_RDWR : O_WRONLY;
        if (!(mode & QIODevice::ExistingOnly)) flags |= O_CREAT;
        if (mode & QIODevice::Truncate) flags |= O_TRUNC;
        if (mode & QIODevice::Append) flags |= O_APPEND;
    }
    int fd = -1;
    try {
        fd = OpenRegularFile(native.toStdString(), flags);
    } catch (const Exception& e) {
        if (error) *error = QString::fromStdString(e.Message());
        return false;
    }
    if (!f.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (error) *error = f.errorString();
        return false;
    }
    return true;
}

bool OpenRegularQFile(QFile& f, const QString& path, QIODevice::OpenMode mode, QString* error) {
    return OpenRegularQFile(f, NativePathOf(path), mode, error);
}

std::optional<QByteArray> ReadRegularFile(const QByteArray& native, qint64 maxBytes) {
    QFile f;
    if (!OpenRegularQFile(f, native, QIODevice::ReadOnly)) return std::nullopt;
    if (f.size() > maxBytes) return std::nullopt;
    QByteArray data = f.read(maxBytes + 1);
    if (data.size() > maxBytes) return std::nullopt;
    return data;
}

bool IsAbsentOrRegular(const QString& path) {
    struct stat st;
    if (::stat(NativePathOf(path).constData(), &st) != 0) return errno == ENOENT;
    return S_ISREG(st.st_mode);
}
