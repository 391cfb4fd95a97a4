#pragma once
// The image editor's arithmetic and naming rules, kept apart from its widgets
// so they are tested without a window: the zoom tool, which dropped files it
// edits, the open/save dialog filters, the window rectangle from the settings,
// and the picture format a screen capture gets.

#include <QRect>
#include <QString>
#include <QStringList>
#include <string>

#include "core/types.h"

// ---- zoom tool
// The zoom after one click of the zoom tool: the right button lowers it by
// 0.2 unless it is already 0.3 or less, the left and middle buttons raise it
// by 0.2 unless it is already 3 or more.
long double ZoomToolStep(long double zoom, bool rightButton);
// The clicked picture point (Trunc(x / zoom)) at the zoom before the click.
int ZoomToolPicturePoint(int boxPos, long double oldZoom);
// The scroll position that centres picture point `p` at `newZoom` in a view
// whose client extent is `clientExtent`.
int ZoomToolScroll(long double newZoom, int p, int clientExtent);

// ---- drops
// Whether a dropped file's extension is one the editor takes: a picture
// extension as a whole entry (formats/droptypes.h), case ignored.
bool IsEditableDropName(const QString& path);

// ---- dialog filters
// Qt's "desc (pat1 pat2);;desc (pat)" form of a "desc|pat1; pat2|desc|pat|"
// filter string as the format registry builds it.
QString QtFilterFromPipes(const std::string& pipes);
// The lower-case extension named by one Qt filter entry ("PNG - ... (*.png)"
// gives "png"; "" for entries with several or wildcard patterns).
QString FilterExtension(const QString& qtEntry);
// The entry of `qtFilter` whose extension matches `fileName`'s ("" if none).
QString FilterEntryForFile(const QString& qtFilter, const QString& fileName);
// `fileName` with the extension of `qtEntry` appended when it has none.
QString WithDefaultExtension(const QString& fileName, const QString& qtEntry);

// ---- window
// The window rectangle from the stored texts (defaults 50, 50, 600, 400 for
// anything unreadable), kept at a usable size on `screen`: a window that
// would lie off every visible screen comes back onto it.
QRect EditorWindowRect(const QString& left, const QString& top, const QString& width,
                       const QString& height, const QRect& screen);

// ---- screen capture
// The picture format a capture of a `depth`-bit screen gets: 4 -> pg4Bit,
// 8 -> pg8Bit, anything else pg24Bit.
TPGPixelFormat CaptureFormatForDepth(int depth);
