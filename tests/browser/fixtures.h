#pragma once
// Small helpers for the browser tests: a scratch folder with files of given
// sizes and times, and a clean settings store.

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <ostream>
#include <sys/stat.h>
#include <utime.h>

#include "platform/settings.h"

// Readable failures for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '{' << l.join("|").toStdString() << '}';
}

inline void MakeFile(const QString& path, qint64 size, qint64 mtime = 0) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return;
    f.write(QByteArray(size, 'x'));
    f.close();
    if (mtime) {
        utimbuf t{time_t(mtime), time_t(mtime)};
        ::utime(QFile::encodeName(path).constData(), &t);
    }
}

inline void ClearSettings() {
    QFile::remove(SettingsFilePath());
}
