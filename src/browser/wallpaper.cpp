#include "browser/wallpaper.h"

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

bool TGSettingsWallpaper::Available() const {
    return !QStandardPaths::findExecutable("gsettings").isEmpty();
}

bool TGSettingsWallpaper::Apply(const QString& file, const QString& tile, const QString& style) {
    static const QString schema = "org.gnome.desktop.background";
    QString options = "centered";
    if (file == "(None)")
        options = "none";
    else if (tile == "1")
        options = "wallpaper";
    else if (style == "2")
        options = "stretched";
    bool ok = RunGSettings({"set", schema, "picture-options", options});
    if (file != "(None)") {
        const QString uri = QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
        ok = RunGSettings({"set", schema, "picture-uri", uri}) && ok;
        // Older desktops have no dark variant: its failure does not count.
        RunGSettings({"set", schema, "picture-uri-dark", uri});
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

bool SetWallpaper(QWidget* parent, const QString& file, const QString& tile, const QString& style) {
    QString use = file;
    if (file != "(None)" && QFileInfo(file).suffix().toUpper() != "BMP") {
        if (MessageDlg("I need a BMP (bitmap) file to set the wallpaper. Can I create a new bitmap "
                       "file and store it in the current directory to proceed?",
                       QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                       parent) != QMessageBox::Yes)
            return false;
        const QString name = ExtractFileName(file);
        const qsizetype dot = name.indexOf('.');
        use = ExtractFilePath(file) + (dot < 0 ? name : name.left(dot)) + ".bmp";
        // Another picture of that name is not overwritten unasked.
        if (QFileInfo::exists(use) &&
            MessageDlg(use + " exists. Overwrite?", QMessageBox::Question,
                       QMessageBox::Yes | QMessageBox::No, parent) != QMessageBox::Yes)
            return false;
        try {
            if (!QFileInfo(file).isFile())
                throw std::runtime_error("Can not open " + file.toStdString());
            TPixelGraphic pic;
            pic.LoadFromFile(QFile::encodeName(file).toStdString());
            pic.SaveToFile(QFile::encodeName(use).toStdString());
        } catch (const std::exception& e) {
            MessageDlg(QString::fromStdString(e.what()), QMessageBox::Critical, QMessageBox::Ok,
                       parent);
            return false;
        }
    }
    TWallpaperBackend& backend = WallpaperBackend();
    if (!backend.Available()) {
        MessageDlg("No way to set the wallpaper of this desktop was found.", QMessageBox::Warning,
                   QMessageBox::Ok, parent);
        return false;
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
    return true;
}
