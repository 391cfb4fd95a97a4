#include "browser/wallpaper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <stdexcept>

#include "core/pixelgraphic.h"
#include "platform/paths.h"
#include "platform/prompts.h"

namespace {

std::unique_ptr<TWallpaperBackend>& Backend() {
    static std::unique_ptr<TWallpaperBackend> b;
    return b;
}

bool RunGSettings(const QStringList& args) {
    const QString exe = QStandardPaths::findExecutable("gsettings");
    if (exe.isEmpty()) return false;
    QProcess p;
    p.start(exe, args);
    return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

TDesktopKind DesktopKindOf(const QString& currentDesktop) {
    for (const QString& d : currentDesktop.split(':', Qt::SkipEmptyParts)) {
        const QString n = d.trimmed().toUpper();
        if (n == "GNOME" || n == "UNITY" || n == "BUDGIE" || n == "PANTHEON" ||
            n == "GNOME-FLASHBACK" || n == "GNOME-CLASSIC")
            return TDesktopKind::Gnome;
        if (n == "X-CINNAMON" || n == "CINNAMON") return TDesktopKind::Cinnamon;
        if (n == "MATE") return TDesktopKind::Mate;
    }
    return TDesktopKind::None;
}

namespace {

TDesktopKind RunningDesktop() {
    return DesktopKindOf(QString::fromLocal8Bit(qgetenv("XDG_CURRENT_DESKTOP")));
}

const char* SchemaOf(TDesktopKind kind) {
    switch (kind) {
    case TDesktopKind::Gnome:
        return "org.gnome.desktop.background";
    case TDesktopKind::Cinnamon:
        return "org.cinnamon.desktop.background";
    case TDesktopKind::Mate:
        return "org.mate.background";
    case TDesktopKind::None:
        break;
    }
    return nullptr;
}

} // namespace

bool TGSettingsWallpaper::Available() const {
    const char* schema = SchemaOf(RunningDesktop());
    // gsettings alone says nothing: without the desktop it writes values
    // that nobody reads. The desktop's own background settings must exist.
    return schema && RunGSettings({"writable", schema, "picture-options"});
}

bool TGSettingsWallpaper::Apply(const QString& file, const QString& tile, const QString& style) {
    const TDesktopKind kind = RunningDesktop();
    const char* s = SchemaOf(kind);
    if (!s) return false;
    const QString schema = s;
    QString options = "centered";
    if (file == "(None)")
        options = "none";
    else if (tile == "1")
        options = "wallpaper";
    else if (style == "2")
        options = "stretched";
    if (kind == TDesktopKind::Mate) {
        // MATE names the picture by its path and has no "none" option: an
        // empty picture is none.
        if (file == "(None)") return RunGSettings({"set", schema, "picture-filename", ""});
        return RunGSettings({"set", schema, "picture-options", options}) &&
               RunGSettings({"set", schema, "picture-filename", file});
    }
    bool ok = RunGSettings({"set", schema, "picture-options", options});
    if (file != "(None)") {
        const QString uri = QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
        ok = RunGSettings({"set", schema, "picture-uri", uri}) && ok;
        // Older desktops have no dark variant: its failure does not count.
        if (kind == TDesktopKind::Gnome) RunGSettings({"set", schema, "picture-uri-dark", uri});
    }
    return ok;
}

TWallpaperBackend& WallpaperBackend() {
    if (!Backend()) Backend() = std::make_unique<TGSettingsWallpaper>();
    return *Backend();
}

void SetWallpaperBackend(std::unique_ptr<TWallpaperBackend> backend) {
    Backend() = std::move(backend);
}

QString WallpaperSettingsPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/Ambertide/desktop.conf";
}

QString WallpaperCopyFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           "/Ambertide/Wallpaper";
}

const char* const kNoWallpaperDesktop =
    "The wallpaper was not set: no supported desktop was found. Tavirlo sets the wallpaper of "
    "GNOME, Cinnamon and MATE desktops (through gsettings).";

namespace {

// Removes our earlier copies, all but `keep`: only the wallpaper in use is
// kept, and only in our own folder.
void RemoveOldCopies(const QString& keep) {
    QDir dir(WallpaperCopyFolder());
    for (const QString& name : dir.entryList({"*.bmp"}, QDir::Files | QDir::Hidden)) {
        const QString path = dir.absoluteFilePath(name);
        if (path != keep) QFile::remove(path);
    }
}

} // namespace

bool SetWallpaper(QWidget* parent, const QString& file, const QString& tile, const QString& style) {
    TWallpaperBackend& backend = WallpaperBackend();
    // Said before anything is made: a copy nobody can use is no help.
    if (!backend.Available()) {
        MessageDlg(kNoWallpaperDesktop, QMessageBox::Warning, QMessageBox::Ok, parent);
        return false;
    }
    QString use = file;
    if (file != "(None)" && QFileInfo(file).suffix().toUpper() != "BMP") {
        // The copy goes to our data folder under the picture's name up to
        // its first dot; the picture's own folder gets nothing.
        const QString name = ExtractFileName(file);
        const qsizetype dot = name.indexOf('.');
        const QString folder = WallpaperCopyFolder();
        use = folder + "/" + (dot <= 0 ? name : name.left(dot)) + ".bmp";
        try {
            if (!QFileInfo(file).isFile())
                throw std::runtime_error("Can not open " + file.toStdString());
            if (!QDir().mkpath(folder))
                throw std::runtime_error("Can not create the folder " + folder.toStdString());
            TPixelGraphic pic;
            pic.LoadFromFile(QFile::encodeName(file).toStdString());
            pic.SaveToFile(QFile::encodeName(use).toStdString());
        } catch (const std::exception& e) {
            MessageDlg(QString::fromStdString(e.what()), QMessageBox::Critical, QMessageBox::Ok,
                       parent);
            return false;
        }
    }
    {
        QSettings s(WallpaperSettingsPath(), QSettings::IniFormat);
        s.setValue("Wallpaper", use);
        s.setValue("TileWallpaper", tile);
        s.setValue("WallpaperStyle", style);
        s.sync();
    }
    if (!backend.Apply(use, tile, style)) {
        MessageDlg("The desktop did not take the wallpaper.", QMessageBox::Warning, QMessageBox::Ok,
                   parent);
        return false;
    }
    // The copy before this one is no wallpaper any more.
    RemoveOldCopies(use);
    return true;
}
