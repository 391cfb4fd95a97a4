#include "browser/externaleditor.h"

#include <QFileInfo>
#include <QProcess>

#include "browser/prefs.h"
#include "platform/paths.h"
#include "platform/prompts.h"
#include "platform/settings.h"

QString EditorTypeOf(const QString& name) {
    const qsizetype dot = name.lastIndexOf('.');
    if (dot < 0) return {};
    return name.mid(dot).toUpper().left(4);
}

QString EditorKeyOf(const QString& name) {
    const qsizetype dot = name.lastIndexOf('.');
    if (dot < 0) return {};
    QString ext = name.mid(dot + 1).toUpper();
    // Other spellings of the preferences' types.
    if (ext == "JPEG" || ext == "JPE" || ext == "JFIF")
        ext = "JPG";
    else if (ext == "TIFF")
        ext = "TIF";
    else if (ext == "EMF")
        ext = "WMF";
    else if (ext == "DIB" || ext == "RLE")
        ext = "BMP";
    for (const char* t : TfPrefs::Types)
        if (ext == QLatin1String(t)) return ext;
    return {};
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
    const QString key = EditorKeyOf(name);
    if (key.isEmpty()) {
        MessageDlg("File type of " + EditorTypeOf(name) + " not supported",
                   QMessageBox::Information, QMessageBox::Ok, parent);
        return TEditorResult::NotSupported;
    }
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
