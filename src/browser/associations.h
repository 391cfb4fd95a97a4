#pragma once
// File associations: the checked picture types are registered with the
// desktop so that opening such a file starts (or reaches) Tavirlo. A per-user
// desktop entry, $XDG_DATA_HOME/applications/tavirlo.desktop, lists every
// associated type; $XDG_CONFIG_HOME/mimeapps.list makes it the default for
// each. mimeapps.list belongs to the user and other programs: it is edited
// line by line and every other line is kept byte for byte.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <stdexcept>

#include "core/exceptions.h"

// A file of the association could not be written; nothing of it was changed.
class ERegistryError : public Exception {
  public:
    explicit ERegistryError(const QString& path);
};

// The MIME type of a three-letter type ("JPG" .. "TIF", "AVI"), or empty.
QString MimeTypeOfFileType(const QString& type);

// mimeapps.list with `mime` made ours in [Default Applications] (the
// section is created when missing); every other byte stays.
QByteArray SetDefaultApplication(const QByteArray& mimeapps, const QString& mime,
                                 const QString& desktopFile);

// The MIME types of the MimeType line of a desktop entry's text.
QStringList DesktopEntryMimeTypes(const QByteArray& entry);

struct TAssociationPaths {
    QString applications; // folder of tavirlo.desktop
    QString mimeapps;     // the mimeapps.list file
};
// From $XDG_DATA_HOME and $XDG_CONFIG_HOME (or their defaults).
TAssociationPaths DefaultAssociationPaths();

// Associates `type` ("GIF") with `program` (started as `program --open
// FILE`). Throws ERegistryError naming the file that could not be written;
// types associated before stay associated.
void AssociateFileType(const QString& type, const QString& program,
                       const TAssociationPaths& paths = DefaultAssociationPaths());
