#pragma once
// The "View Image" window: one small window per use, on top, that shows one
// picture fitted to it. Shared by the thumbnail explorer, the contact-sheet
// creator and other tools; it deletes itself when closed.

#include <QWidget>

class TPGImage;

class TfrmThumbTav : public QWidget {
    Q_OBJECT
  public:
    explicit TfrmThumbTav(QWidget* owner = nullptr);
    TPGImage* PGImage1;

    // Reads `path` (regular files only) and sizes the window to it, `margin`
    // pixels around. False, with the reason shown, when it cannot be read.
    bool Open(const QString& path, int margin);
};

// Opens a View Image window for `path`, owned by `owner` (the thumbnail
// explorer when none is given and it exists). `margin` is 4 for the explorer
// and 0 for the sheet creator. Returns the shown window, or null.
TfrmThumbTav* ShowViewImage(const QString& path, int margin, QWidget* owner = nullptr);
