#pragma once
// The colour depth (bits per pixel) the program draws for. Palette screens
// are gone from today's desktops, but the display conversion and the screen
// capture keep their rules for 1, 4, 8, 16 and 24 bits; this one value lets
// tests, and the program through TAVIRLO_SCREEN_DEPTH, pick any of them.
//
// Order of precedence: a value set with SetScreenDepthOverride, then the
// environment variable TAVIRLO_SCREEN_DEPTH (read when first asked), then
// QScreen::depth() of the widget's screen (the primary screen without one).

#include <QObject>

class QWidget;

// The depth for drawing on `widget` (or on the primary screen).
int ScreenDepth(const QWidget* widget = nullptr);

// Sets the depth every caller sees; 0 returns to the environment or the
// screen. Announces the change through TScreenDepthNotifier when the
// effective value differs.
void SetScreenDepthOverride(int bitsPerPixel);

// Tells interested windows that the depth has changed; the view control
// marks its converted paint picture stale and repaints.
class TScreenDepthNotifier : public QObject {
    Q_OBJECT
  public:
    static TScreenDepthNotifier& Instance();
  signals:
    void DepthChanged();
};
