#pragma once
// The display's colour profile: the ICC profile the desktop's colour
// daemon puts on the X11 root window (_ICC_PROFILE). Without X11 or
// without the property, none (the display is taken for sRGB).

#include <QObject>
#include <cstdint>
#include <vector>

std::vector<uint8_t> ReadDisplayProfile();

// Reads the display profile into the image library and announces the
// change; run at start and when the screen changes.
void RefreshDisplayProfile();

// Tells the view controls that the display profile or the colour management
// preference changed: each makes its converted copy anew and repaints.
class TColourNotifier : public QObject {
    Q_OBJECT
  public:
    static TColourNotifier& Instance();
  signals:
    void ColourChanged();
};
