#pragma once
// Scratch folders for the tools' tests: files with known contents, and the
// folder's names and contents read back to prove what changed.

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '{' << l.join("|").toStdString() << '}';
}

inline void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(path.left(path.lastIndexOf('/')));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

inline QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Every file under `dir` (relative name -> SHA-1 of its contents).
inline QMap<QString, QByteArray> Snapshot(const QString& dir) {
    QMap<QString, QByteArray> m;
    QDir d(dir);
    for (const QString& rel : d.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        m.insert(rel,
                 QCryptographicHash::hash(ReadFile(d.filePath(rel)), QCryptographicHash::Sha1));
    }
    return m;
}
