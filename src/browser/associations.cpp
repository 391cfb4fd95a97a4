#include "browser/associations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include "formats/droptypes.h"
#include "platform/desktopentry.h"

namespace {

constexpr char kDesktopFile[] = "tavirlo.desktop";

QString ErrorText(const QString& path) {
    return QStringLiteral("Cannot create key %1, the user account may not have the required "
                          "rights to create registry keys under HKEY_CLASSES_ROOT.")
        .arg(path);
}

// Reads `path` when it is a regular file; an absent file reads empty.
QByteArray ReadExisting(const QString& path) {
    const QFileInfo fi(path);
    if (!fi.exists()) return {};
    QFile f(path);
    if (!fi.isFile() || !f.open(QIODevice::ReadOnly)) throw ERegistryError(path);
    // Both files are small; a huge one is not what we think it is.
    if (f.size() > 4 * 1024 * 1024) throw ERegistryError(path);
    return f.readAll();
}

void WriteWhole(const QString& path, const QByteArray& bytes) {
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir)) throw ERegistryError(path);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw ERegistryError(path);
}

QByteArray KeyOf(const QByteArray& line) {
    const qsizetype eq = line.indexOf('=');
    return eq < 0 ? QByteArray() : line.left(eq).trimmed();
}

} // namespace

ERegistryError::ERegistryError(const QString& path) : Exception(ErrorText(path).toStdString()) {}

QString MimeTypeOfFileType(const QString& type) {
    for (const TListedFileType& t : ListedFileTypes())
        if (type.compare(QLatin1String(t.name), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(t.mimeTypes.front());
    return {};
}

QByteArray SetDefaultApplication(const QByteArray& mimeapps, const QString& mime,
                                 const QString& desktopFile) {
    // Lines with their own endings, so what we do not touch stays as it was.
    QList<QByteArray> lines;
    for (qsizetype from = 0; from < mimeapps.size();) {
        qsizetype nl = mimeapps.indexOf('\n', from);
        nl = nl < 0 ? mimeapps.size() : nl + 1;
        lines << mimeapps.mid(from, nl - from);
        from = nl;
    }
    const QByteArray eol = mimeapps.contains("\r\n") ? "\r\n" : "\n";
    const QByteArray key = mime.toUtf8();
    const QByteArray entry = key + '=' + desktopFile.toUtf8() + ';';
    auto body = [](const QByteArray& l) {
        QByteArray b = l;
        while (b.endsWith('\n') || b.endsWith('\r'))
            b.chop(1);
        return b;
    };
    qsizetype section = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray b = body(lines[i]).trimmed();
        if (b.startsWith('[')) {
            if (section >= 0) break; // end of our section
            if (b == "[Default Applications]") section = i;
            continue;
        }
        if (section >= 0 && !b.startsWith('#') && KeyOf(b) == key) {
            const QByteArray ending = lines[i].mid(body(lines[i]).size());
            lines[i] = entry + (ending.isEmpty() ? eol : ending);
            return lines.join();
        }
    }
    if (section < 0) {
        QByteArray out = mimeapps;
        if (!out.isEmpty() && !out.endsWith('\n')) out += eol;
        return out + "[Default Applications]" + eol + entry + eol;
    }
    if (!lines[section].endsWith('\n')) lines[section] += eol;
    lines.insert(section + 1, entry + eol);
    return lines.join();
}

QStringList DesktopEntryMimeTypes(const QByteArray& entry) {
    for (const QByteArray& line : entry.split('\n')) {
        const QByteArray l = line.trimmed();
        if (l.startsWith("MimeType=")) {
            QStringList out;
            for (const QByteArray& m : l.mid(9).split(';'))
                if (!m.trimmed().isEmpty()) out << QString::fromUtf8(m.trimmed());
            return out;
        }
    }
    return {};
}

TAssociationPaths DefaultAssociationPaths() {
    return {QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                QStringLiteral("/applications"),
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                QStringLiteral("/mimeapps.list")};
}

void AssociateFileType(const QString& type, const QString& program,
                       const TAssociationPaths& paths) {
    const QString mime = MimeTypeOfFileType(type);
    if (mime.isEmpty()) return;
    // Both files are read and worked out first: a file that cannot be read
    // stops the type before anything of it is written.
    const QString entryPath = paths.applications + '/' + kDesktopFile;
    QStringList types = DesktopEntryMimeTypes(ReadExisting(entryPath));
    if (!types.contains(mime)) types << mime;
    const QByteArray mimeapps = SetDefaultApplication(ReadExisting(paths.mimeapps), mime,
                                                      QString::fromLatin1(kDesktopFile));
    WriteWhole(entryPath, DesktopEntryText({program, QStringLiteral("--open")}, types).toUtf8());
    WriteWhole(paths.mimeapps, mimeapps);
    // The desktop's cache of which program opens what.
    const QString update =
        QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
    if (!update.isEmpty()) QProcess::startDetached(update, {paths.applications});
}
