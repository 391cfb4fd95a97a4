#include "platform/paths.h"

QString AddBackslash(const QString& path) {
    if (path.endsWith('/')) return path;
    return path + '/';
}

QString ExtractFilePath(const QString& path) {
    return path.left(path.lastIndexOf('/') + 1);
}

QString ExtractFileName(const QString& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}
