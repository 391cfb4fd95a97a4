#pragma once
// The program's icon, drawn rather than stored: the windows use it, and the
// build draws the PNG files installed for the desktop from the same code.
// Needs QtGui only (no application object: no text is drawn).

#include <QIcon>
#include <QImage>

// The icon at `size` x `size` pixels, with transparent corners.
QImage DrawTavirloIcon(int size);

// The icon of the windows: the desktop's "tavirlo" icon when installed, else
// the drawn one in the usual sizes.
QIcon TavirloIcon();
