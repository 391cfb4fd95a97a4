#include "browser/trash.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "core/fileops.h"

namespace {
TTrashHook& Hook() {
    static TTrashHook h;
    return h;
}
// Qt (6.4) writes the original path into the entry's .trashinfo as it is,
// not percent-encoded, and leaves the last line without its newline: a name
// holding "%41" would come back from the trash as "A", and a name with a
// newline would break the entry. Our entry is written again as the desktop
// trash format has it; its deletion date is kept.
void RewriteTrashInfo(const QString& trashed, const QString& original) {
    const QFileInfo file(trashed);
    const QString info = file.dir().absoluteFilePath("../info/" + file.fileName() + ".trashinfo");
    QFile in(info);
    if (!in.open(QIODevice::ReadOnly)) return;
    QByteArray date;
    for (const QByteArray& line : in.readAll().split('\n'))
        if (line.startsWith("DeletionDate=")) date = line.mid(13).trimmed();
    in.close();
    if (date.isEmpty()) date = QDateTime::currentDateTime().toString(Qt::ISODate).toLatin1();
    QSaveFile out(info);
    if (!out.open(QIODevice::WriteOnly)) return;
    out.write(TrashInfoText(QFile::encodeName(original), date));
    out.commit();
}

} // namespace

QByteArray TrashInfoText(const QByteArray& originalPath, const QByteArray& deletionDate) {
    return "[Trash Info]\nPath=" + originalPath.toPercentEncoding("/") +
           "\nDeletionDate=" + deletionDate + "\n";
}

bool MoveToTrashNow(const QString& path) {
    // Without the data folder (a fresh account has no ~/.local/share) Qt
    // builds the trash in the current folder, "./files", and reports
    // success: the file would seem gone but sit in a folder of the user's
    // pictures. Make the folder first.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty() || !QDir().mkpath(data)) return false;
    QString where;
    const QString original = QFileInfo(path).absoluteFilePath();
    if (!QFile::moveToTrash(path, &where)) return false;
    if (QFileInfo(where).isAbsolute()) {
        RewriteTrashInfo(where, original);
        return true;
    }
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
