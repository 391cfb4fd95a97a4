#pragma once
// The selection rectangle's arithmetic, free of widgets: handle squares, the
// inside test, the strips to repaint around a frame, the stripe patterns and
// the drag rules. Edges are in 64 bits: a selection may lie far outside the
// picture, and L - 8 or R + 8 must not wrap.

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <array>
#include <cstdint>

#include "view/viewtypes.h"

// The selection's edges in paint-box pixels (R and B excluded).
struct TPGSelBox {
    int64_t L = 0, T = 0, R = 0, B = 0;
};

// Drag states.
enum : int {
    dsNone = 0,
    dsPan = 1,
    dsMove = 2,
    dsCreate = 3,
    dsTopLeft = 4, // 4 to 11: the handles in PGHandleSquare's order
    dsBottomRight = 11,
};

// Handle h (0 top-left, 1 top-middle, 2 top-right, 3 middle-left,
// 4 middle-right, 5 bottom-left, 6 bottom-middle, 7 bottom-right) as a
// half-open square [x0, x1) x [y0, y1).
struct TPGSquare {
    int64_t x0, y0, x1, y1;
    bool Contains(int64_t x, int64_t y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
};
TPGSquare PGHandleSquare(const TPGSelBox& b, int h);
// The first handle containing p in the order above, or -1.
int PGHandleAt(const TPGSelBox& b, const QPoint& p);
inline bool PGInsideSelection(const TPGSelBox& b, const QPoint& p) {
    return b.L <= p.x() && p.x() < b.R && b.T <= p.y() && p.y() < b.B;
}

// The four strips around a frame, margin e, clipped to `clip` (empty strips
// where nothing is left).
std::array<QRect, 4> PGSelectionStrips(const TPGSelBox& b, int e, const QRect& clip);

// A 64-bit rectangle clipped to `clip`, as a QRect (empty when outside).
QRect PGClipRect(int64_t x0, int64_t y0, int64_t x1, int64_t y1, const QRect& clip);

// Stripe pattern i (0 to 7): pixel (x, y) has c2 when (x + y - i + 8) mod 8
// is 4 or more, else c1.
QImage PGStripePattern(const QColor& c1, const QColor& c2, int i);
// The pattern index of a frame: (phase + L + T) mod 8, 0 to 7 also for
// negative sums.
int PGStripeIndex(int phase, int64_t L, int64_t T);
// The colour a frame drawn with pattern i gives paint-box pixel (x, y).
inline bool PGStripeIsColor2(int i, int64_t x, int64_t y) {
    return (((x + y - i) % 8) + 8) % 8 >= 4;
}

// What a drag does to the selection (left, top, width, height in picture
// pixels) when the pointer is over picture pixel q. The picture is W x H.
struct TPGSelBounds {
    int left = 0, top = 0, width = 1, height = 1;
    bool operator==(const TPGSelBounds&) const = default;
};
TPGSelBounds PGDragRule(int state, const TPGSelBounds& s, QPoint q, const QPoint& offset,
                        const QPoint& anchor, int W, int H);

// Mouse-down offsets for handle states 4 to 11 with the pointer over q.
QPoint PGHandleOffset(int state, const TPGSelBounds& s, const QPoint& q);

// The cursor a position calls for.
enum class TPGCursorKind {
    Inherited, // the control's or paint box's own
    Pan,
    Panning,
    CreateSelection,
    MoveSelection,
    SizeVer,
    SizeHor,
    SizeFDiag,
    SizeBDiag,
};
struct TPGCursorInputs {
    TActionMode mode = amMoveImage;
    bool overflows = false; // the picture overflows the view where a bar is shown
    bool panning = false;
    bool selection = false;
    bool inside = false;
    int handle = -1;
};
TPGCursorKind PGCursorFor(const TPGCursorInputs& in);
