#pragma once
// The thumbnail explorer's and the contact sheet's arithmetic as plain
// functions: where a picture sits in its square or cell, how saved thumbnails
// are named, how big a sheet grows. The windows and tavtool only call these.

#include <QSize>
#include <QString>
#include <cstdint>

#include "core/types.h"

// The list's background colour (RGB 254, 255, 230) and the thumbnail
// sizes the explorer offers.
inline constexpr TRGB kThumbBackground = 15138814;
inline constexpr int kThumbSizes[] = {64, 80, 96, 128, 256};

// A picture scaled into a square of side S: its size and its left/top edge.
struct TThumbPlace {
    int width = 0;
    int height = 0;
    int left = 0;
    int top = 0;
    bool operator==(const TThumbPlace&) const = default;
};

// Explorer thumbnails: pictures smaller than S both ways keep their size;
// others get S on their longer side and Trunc(quotient x S) on the other,
// at least 1. Centred across, resting at the top.
TThumbPlace ThumbPlace(int W, int H, int S);

// Contact-sheet cells: the same but small pictures are enlarged too.
TThumbPlace SheetThumbSize(int W, int H, int S);

// Output name of a saved thumbnail: prefix + the name up to and including
// its first dot + ext ("thm_" + "a.b.jpg" + "bmp" = "thm_a.bmp"); a name
// without a dot gets prefix + name + "." + ext.
QString ThumbSaveName(const QString& prefix, const QString& fileName, const QString& ext);

// A prefix is usable when it cannot lead the name out of the save folder.
bool ValidThumbPrefix(const QString& prefix);

// The integer in front of the first blank of a size text ("96 X 96" = 96),
// 0 when there is none.
int SizeFromText(const QString& text);
// The lower-case first three letters of a format text ("BMP - bitmap" = "bmp").
QString ExtFromFormatText(const QString& text);

// "3 of 25 (beach.jpg)" and "1 of 4 : beach.jpg".
QString MakeProgressText(int number, int count, const QString& name);
QString SaveProgressText(int number, int count, const QString& name);

// The View Image window's client size: the picture's own size when it is
// narrower and lower than the screen's available area, otherwise the size the
// fitted picture takes in the view; plus `margin` (4 for the explorer, 0 for
// the sheet creator), never more than the available area.
QSize ViewImageClientSize(QSize picture, QSize fitted, QSize available, int margin);

// ---- contact sheet

struct TSheetLayout {
    int S = 96;  // cell size
    int C = 6;   // columns
    int HS = 20; // horizontal gap
    int VS = 30; // vertical gap
    int TH = 0;  // title height
    int FH = 0;  // footer height
};

int SheetRows(int n, int C);
// Sheet size in 64 bits: a big list at a big S passes any int.
int64_t SheetWidth(const TSheetLayout& l);
int64_t SheetHeight(const TSheetLayout& l, int rows);
// Cell origin of file k.
struct TPoint2 {
    int x = 0;
    int y = 0;
    bool operator==(const TPoint2&) const = default;
};
TPoint2 SheetCellOrigin(const TSheetLayout& l, int k);
// Where a w x h thumbnail of cell origin o lands: centred across, resting on
// the cell's bottom edge.
TPoint2 SheetThumbPos(const TSheetLayout& l, TPoint2 o, int w, int h);
// Left edge of a file name of width t under cell origin o.
int SheetNameLeft(const TSheetLayout& l, TPoint2 o, int t);
// Title/footer height for a text height: Trunc(1.4 x h).
int SheetTextHeight(int h);
// "ThumbTav size : W X H".
QString SheetSizeText(int64_t W, int64_t H);

// Shadow ring value: (v div 12) x e + v div 2.
inline int ShadowValue(int v, int e) {
    return (v / 12) * e + v / 2;
}

// Drop targets take a dragged file whose extension is a picture extension
// (formats/droptypes.h), case ignored.
bool AcceptsDroppedPicture(const QString& name);

// The Size edit of the sheet options: digits, 30..900; empty or out of range
// is invalid.
bool ValidSheetSizeText(const QString& text, int* value = nullptr);
