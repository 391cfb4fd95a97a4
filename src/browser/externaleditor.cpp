#include "browser/externaleditor.h"

#include <QFileInfo>
#include <QProcess>

#include "platform/paths.h"
#include "platform/prompts.h"
#include "platform/settings.h"

QString EditorTypeOf(const QString& name) {
    const qsizetype dot = name.lastIndexOf('.');
    if (dot < 0) return {};
    return name.mid(dot).toUpper().left(4);
}

TEditorLaunch EditorLaunch(const QString& editor, const QString& file) {
    TEditorLaunch l;
    if (QFileInfo(editor).isFile()) {
        l.program = editor;
    } else {
        l.arguments = QProcess::splitCommand(editor);
        if (!l.arguments.isEmpty()) l.program = l.arguments.takeFirst();
    }
    l.arguments << file;
    return l;
}

TEditorResult EditInExternalEditor(QWidget* parent, const QString& folder, const QString& name,
                                   const std::function<void()>& openPreferences) {
    const QString type = EditorTypeOf(name);
    static const QStringList handled = {".JPG", ".GIF", ".BMP", ".ICO"};
    if (!handled.contains(type)) {
        MessageDlg("File type of " + type + " not supported", QMessageBox::Information,
                   QMessageBox::Ok, parent);
        return TEditorResult::NotSupported;
    }
    const QString key = type.mid(1);
    const QString editor = ReadSetting(key + " Editor", "");
    // Only a value above a single blank names an editor.
    if (editor.trimmed().isEmpty()) {
        MessageDlg("You need to select a " + key + " editor under File/Set Preferences...",
                   QMessageBox::Information, QMessageBox::Ok, parent);
        if (openPreferences) openPreferences();
        return TEditorResult::NoEditor;
    }
    const QString path = QFileInfo(AddBackslash(folder) + name).absoluteFilePath();
    const TEditorLaunch l = EditorLaunch(editor, path);
    if (l.program.isEmpty() || !QProcess::startDetached(l.program, l.arguments, folder)) {
        MessageDlg("Can not edit " + path, QMessageBox::Critical, QMessageBox::Ok, parent);
        return TEditorResult::StartFailed;
    }
    return TEditorResult::Started;
}
