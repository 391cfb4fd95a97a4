#pragma once
// Opening the selected file in the external editor set for its type in the
// preferences. The editor is started directly, never through a shell: a
// name with blanks or a leading "-" arrives as one argument, the file's
// absolute path.

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// ".JPG", ".GIF", ... : the name's extension upper-cased, at most four
// characters with the dot.
QString EditorTypeOf(const QString& name);

// The preferences row whose editor opens `name` ("JPG" for x.jpeg, "TIF"
// for x.tiff, "PNG" for x.png), empty when the preferences have none: every
// type the preferences offer an editor for is opened in it.
QString EditorKeyOf(const QString& name);

struct TEditorLaunch {
    QString program;
    QStringList arguments;
};
// The program and arguments for `editor` (the setting) and `file` (an
// absolute path): the setting is the program itself when it names a file,
// else it is split as a command line; the file is the last argument.
TEditorLaunch EditorLaunch(const QString& editor, const QString& file);

enum class TEditorResult { Started, NoEditor, NotSupported, StartFailed };

// Opens `folder`/`name` in its type's editor, showing the messages; on
// NoEditor `openPreferences` is called after the message.
TEditorResult EditInExternalEditor(QWidget* parent, const QString& folder, const QString& name,
                                   const std::function<void()>& openPreferences);
