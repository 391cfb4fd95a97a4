#include "platform/desktopentry.h"

#include "formats/droptypes.h"

QStringList ReadableMimeTypes() {
    QStringList types;
    for (const TListedFileType& t : ListedFileTypes())
        for (std::string_view mime : t.mimeTypes) types << QString::fromLatin1(mime);
    return types;
}

QString DesktopExecArgument(const QString& arg) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = arg.isEmpty();
    for (QChar c : arg)
        if (reserved.contains(c)) quote = true;
    QString s;
    if (quote) {
        s += '"';
        for (QChar c : arg) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') s += '\\';
            s += c;
        }
        s += '"';
    } else {
        s = arg;
    }
    // The Exec value is also a string of the entry: its backslashes are
    // escaped once more, and a literal "%" is written "%%".
    s.replace('\\', QStringLiteral("\\\\"));
    s.replace('%', QStringLiteral("%%"));
    // A line break cannot stand in a value.
    s.replace('\n', QStringLiteral("\\n"));
    return s;
}

QString DesktopEntryText(const QStringList& command, const QStringList& mimeTypes) {
    QString t;
    t += "[Desktop Entry]\n";
    t += "Type=Application\n";
    t += "Name=Tavirlo\n";
    t += "GenericName=Image Browser\n";
    t += "Comment=Browse, view, edit and convert pictures\n";
    QStringList exec;
    for (const QString& arg : command)
        exec << DesktopExecArgument(arg);
    t += "Exec=" + exec.join(' ') + " %f\n";
    t += "Icon=tavirlo\n";
    t += "Terminal=false\n";
    t += "Categories=Graphics;2DGraphics;RasterGraphics;Viewer;Photography;Qt;\n";
    t += "Keywords=picture;photo;image;viewer;browser;editor;slide show;thumbnail;album;\n";
    t += "StartupWMClass=tavirlo\n";
    if (!mimeTypes.isEmpty()) t += "MimeType=" + mimeTypes.join(';') + ";\n";
    return t;
}
