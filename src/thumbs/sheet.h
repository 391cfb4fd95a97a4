#pragma once
// The contact sheet ("ThumbTav"): a list of pictures laid out as one picture,
// a grid of thumbnails with names, border, shadow and bevel, on a plain or
// tiled background, with a title and a footer line. The creator window and
// `tavtool sheet` both build it here; text needs a QGuiApplication.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "core/pixelgraphic.h"
#include "thumbs/thumbrules.h"

struct TSheetOptions {
    int size = 96; // S, 30..900
    int cols = 6;  // 2..20
    int hspc = 20; // 5..100
    int vspc = 30; // 20..100
    bool includeFilenames = true;
    TRGB backgroundColor = RGB(255, 255, 255);
    TRGB textColor = RGB(0, 0, 0);
    bool autoSharpen = true;
    int sharpenFactor = 50; // 50..100
    bool useBackgroundImage = false;
    QString backgroundImage;
    bool addBorder = true;
    TRGB borderColor = RGB(255, 0, 0);
    bool addShadow = true;
    bool bevel = false;
    bool includeTitle = false;
    QString titleText = "ThumbTav created by Tavirlo";
    QString titleFace; // empty: the sheet font's face
    int titleSize = 24;
    TRGB titleColor = RGB(255, 0, 0);
    bool includeFooter = false;
    QString footerText = "http://www.ambertide.com/";
    QString footerFace;
    int footerSize = 8;
    TRGB footerColor = RGB(128, 0, 0);
};

// What building reports as it goes; every member may be empty.
struct TSheetEvents {
    std::function<void(int64_t W, int64_t H)> size; // before the first cell
    std::function<void(int k, int n)> progress;     // before cell k (1-based)
    std::function<void(const QString& text)> error; // a message to show; building goes on
    std::function<bool()> cancelled;                // checked before each cell
};

// The layout the options give (title and footer heights measured in their fonts).
TSheetLayout SheetLayoutFor(const TSheetOptions& o);

// Builds the sheet of `files`. Throws EThumbnail("You must drag some images
// into the listbox first!") for an empty list and the picture's allocation
// error when the sheet would pass its size limit.
std::unique_ptr<TPixelGraphic> BuildSheet(const QStringList& files, const TSheetOptions& o,
                                          const TSheetEvents& ev = {});

// Tiles `tile` over the whole of `sheet` from (0, 0), clipped at the edges.
void TileOver(TPixelGraphic& sheet, TPixelGraphic& tile);

// Darkens the six shadow rings of a w x h thumbnail at (x, y).
void DrawSheetShadow(TPixelGraphic& sheet, int x, int y, int w, int h);

// Writes the sheet to `path` (format by extension) unless `path` is one of
// `sources` (the listed pictures and the background): then throws
// EThumbnail("Would overwrite " + path) and leaves the file alone.
void SaveSheet(TPixelGraphic& sheet, const QString& path, const QStringList& sources);

// Point size to pixels at the 96 dots per inch the sheet is laid out for.
int SheetFontPixels(int points);

// ---- filters the sheet borrows from the image editor's filter library.
// Sharpens a thumbnail by `percent` (MakeSharpen: tent, no distance, 0.75;
// the result is 24-bit) and bevels it with `rings` rings (DrawBevel).
void SharpenSheetThumb(TPixelGraphic& thumb, int percent);
void BevelSheetThumb(TPixelGraphic& thumb, int rings);
