#pragma once
// The desktop wallpaper: the selected picture centred, tiled or stretched,
// or none. The values are kept in $XDG_CONFIG_HOME/Ambertide/desktop.conf
// ("Wallpaper", "TileWallpaper", "WallpaperStyle") and applied through a
// backend for the running desktop; tests put in their own. A picture that
// is no BMP is set through a BMP copy in the program's data folder, never
// beside the picture; each new wallpaper replaces the copy before it.

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

// The desktops whose background we can set, told apart by
// $XDG_CURRENT_DESKTOP (a colon-separated list, any case).
enum class TDesktopKind { None, Gnome, Cinnamon, Mate };
TDesktopKind DesktopKindOf(const QString& currentDesktop);

// Through gsettings, in the settings of the running desktop (GNOME and the
// desktops that share its settings, Cinnamon, MATE). Available only on one
// of those, with gsettings and the desktop's background settings installed.
class TGSettingsWallpaper : public TWallpaperBackend {
  public:
    bool Available() const override;
    bool Apply(const QString& file, const QString& tile, const QString& style) override;
};

TWallpaperBackend& WallpaperBackend();
// Replaces the backend (null: the gsettings one again).
void SetWallpaperBackend(std::unique_ptr<TWallpaperBackend> backend);

QString WallpaperSettingsPath();
// Where the BMP copies are made: $XDG_DATA_HOME/Ambertide/Wallpaper.
QString WallpaperCopyFolder();

// What the user is told when the desktop cannot be told.
extern const char* const kNoWallpaperDesktop;

// Sets `file` (or "(None)") as the wallpaper; a picture that is no BMP is
// first converted into a BMP copy in WallpaperCopyFolder(). False when
// nothing was set (no supported desktop, failed; each said in a message).
bool SetWallpaper(QWidget* parent, const QString& file, const QString& tile, const QString& style);
