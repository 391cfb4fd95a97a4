#pragma once
// The program's desktop entry: how the desktop's menus and file managers know
// Tavirlo, its icon and the picture types it opens. The installed entry and
// the one the file associations write come from here, so they cannot differ.
// Needs QtCore only.

#include <QString>
#include <QStringList>

// The MIME type of every kind of file the program opens (pictures of every
// readable format and the clips the preview plays), canonical names.
QStringList ReadableMimeTypes();

// One argument of an Exec line, quoted by the Desktop Entry rules when it
// needs it, and escaped for the entry's string syntax ("%" doubled).
QString DesktopExecArgument(const QString& arg);

// The whole entry (lines end in "\n"). `command` is the program to start (a
// bare name found on PATH, or an absolute path) and its leading arguments;
// the opened file follows them as one more argument ("%f"). The installed
// entry starts {"tavirlo"}; a per-user association may name the running
// program's own path.
QString DesktopEntryText(const QStringList& command, const QStringList& mimeTypes);
