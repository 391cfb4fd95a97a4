#include "browser/trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "core/fileops.h"

namespace {
TTrashHook& Hook() {
    static TTrashHook h;
    return h;
}
} // namespace

bool MoveToTrashNow(const QString& path) {
    // Without the data folder (a fresh account has no ~/.local/share) Qt
    // builds the trash in the current folder, "./files", and reports
    // success: the file would seem gone but sit in a folder of the user's
    // pictures. Make the folder first.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty() || !QDir().mkpath(data)) return false;
    QString where;
    if (!QFile::moveToTrash(path, &where)) return false;
    if (QFileInfo(where).isAbsolute()) return true;
    // Still not a trash we know of: the file goes back where it was.
    const QString misplaced = QDir::current().absoluteFilePath(where);
    RenameNoReplace(QFile::encodeName(misplaced).toStdString(),
                    QFile::encodeName(path).toStdString());
    return false;
}

bool DeleteToRecycleBin(const QString& path) {
    if (path.isEmpty()) return false;
    return Hook() ? Hook()(path) : MoveToTrashNow(path);
}

void SetTrashHook(TTrashHook hook) {
    Hook() = std::move(hook);
}
