#include "thumbs/outfolder.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString Shown(const QString& folder) {
    return QDir::cleanPath(folder);
}
QString Reason(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}
} // namespace

bool OutputFolderMissing(const QString& folder) {
    struct stat st {};
    return ::lstat(QFile::encodeName(Shown(folder)).constData(), &st) != 0 &&
           (errno == ENOENT || errno == ENOTDIR);
}

QString OutputFolderProblem(const QString& folder, bool create) {
    if (folder.trimmed().isEmpty()) return "No folder given";
    const QByteArray path = QFile::encodeName(Shown(folder));
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) {
        const int err = errno;
        // (A missing part of the path, or a file where a folder should be:
        // making it says what is in the way.)
        if ((err != ENOENT && err != ENOTDIR) || !create) return "Cannot open folder " + Shown(folder) + ": " + Reason(err);
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(path.toStdString()), ec);
        if (ec)
            return "Cannot create folder " + Shown(folder) + ": " +
                   QString::fromLocal8Bit(ec.message().c_str());
        if (::stat(path.constData(), &st) != 0)
            return "Cannot create folder " + Shown(folder) + ": " + Reason(errno);
    }
    if (!S_ISDIR(st.st_mode)) return Shown(folder) + " is not a folder";
    if (::access(path.constData(), W_OK | X_OK) != 0)
        return "Cannot write in folder " + Shown(folder) + ": " + Reason(errno);
    return {};
}
