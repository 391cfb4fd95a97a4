#pragma once
// The desktop wallpaper: the selected picture centred, tiled or stretched,
// or none. The values are kept in $XDG_CONFIG_HOME/Ambertide/desktop.conf
// ("Wallpaper", "TileWallpaper", "WallpaperStyle") and applied through a
// backend for the running desktop; tests put in their own.

#include <QString>
#include <memory>

class QWidget;

class TWallpaperBackend {
  public:
    virtual ~TWallpaperBackend() = default;
    // False when this desktop cannot be told.
    virtual bool Available() const = 0;
    // `file` is a BMP path or "(None)"; `tile` "0"/"1", `style` "0"/"2".
    virtual bool Apply(const QString& file, const QString& tile, const QString& style) = 0;
};

// Through gsettings (org.gnome.desktop.background), when it is installed.
class TGSettingsWallpaper : public TWallpaperBackend {
  public:
    bool Available() const override;
    bool Apply(const QString& file, const QString& tile, const QString& style) override;
};

TWallpaperBackend& WallpaperBackend();
// Replaces the backend (null: the gsettings one again).
void SetWallpaperBackend(std::unique_ptr<TWallpaperBackend> backend);

QString WallpaperSettingsPath();

// Sets `file` (or "(None)") as the wallpaper; a picture that is no BMP is
// first converted into a BMP next to it after asking. False when nothing
// was set (declined, failed, or no backend; each said in a message).
bool SetWallpaper(QWidget* parent, const QString& file, const QString& tile, const QString& style);
