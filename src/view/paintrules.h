#pragma once
// The display conversion's decisions as plain functions: whether the view
// control draws a converted paint picture instead of its picture, and how a
// paint picture is made (pre-stretch, format, palette, size, steps). Kept
// apart from the widget so every screen depth can be checked case by case.

#include <QSize>

#include "core/types.h"

struct TPGPaintInputs {
    int D = 24; // screen depth, bits per pixel
    bool hasPicture = false;
    int G = 24;                       // the picture's bits per pixel
    TPaletteIdent ident = pTrueColor; // the picture's palette identity
    QSize pictureSize, boxSize, lastPaintSize;
    TStretchMode stretchMode = smFast;
    bool reduceOnLoad = false;
    bool paintStale = false;
    TPaletteIdent palette8BitSys8BitGraphic = pOptimized252Sys16;
    bool hasPaintPicture = false;
    bool keepOld = false; // KeepOldPaintPixelGraphic
    bool useThread = true;
    bool jobInFlight = false; // a job started and neither delivered nor stopped
    bool jobFailed = false;   // the last job gave nothing usable
};

struct TPGPaintDecision {
    bool stale = false;       // PaintStale after the decision
    bool needed = false;      // a paint picture is wanted
    bool dropPaint = false;   // stop the worker and free the paint picture
    bool start = false;       // make a new paint picture now
    bool drawPicture = false; // draw the picture itself (nothing to show instead)
};

// Whether the paint picture is to be drawn, as every paint and the palette
// query ask. A job that failed leaves the picture drawn until the paint
// picture goes stale, instead of the frame forever or a retry every paint.
TPGPaintDecision PGDecidePaint(const TPGPaintInputs& in);

// Whether a paint of `box` from a picture of `picture` resamples.
inline bool PGResamples(TStretchMode m, const QSize& picture, const QSize& box) {
    return m != smFast && box != picture;
}

struct TPGPaintPlan {
    bool preStretch = false; // a 24-bit intermediate of box size first
    QSize intermediateSize;  // when preStretch
    TPGPixelFormat format = pg24Bit;
    TPaletteIdent install = pNone; // palette installed before the copy; pNone = none
    bool optimise = false;         // BuildOptimizedPalette(252 with system colours)
    bool copySourcePalette = false;
    QSize size;    // of the paint picture
    int total = 1; // steps
};

struct TPGPlanInputs {
    int D = 24;
    int G = 24; // the picture's bits per pixel
    QSize pictureSize, boxSize;
    TStretchMode stretchMode = smFast;
    bool allow24BitStretch = false;
    TPaletteIdent palette8BitSys24BitGraphic = pOptimized252Sys16;
    TPaletteIdent palette8BitSys8BitGraphic = pOptimized252Sys16;
};

TPGPaintPlan PGPlanPaint(const TPGPlanInputs& in);

// The two palette properties' ranges.
inline bool PGValidPalette8BitSys24BitGraphic(TPaletteIdent p) {
    return p >= pBlackWhite && p <= pOptimized252Sys16;
}
inline bool PGValidPalette8BitSys8BitGraphic(TPaletteIdent p) {
    return p >= pBlackWhite && p <= pSource;
}

// The percentage a progress callback reports for row `step` of `max` + 1.
inline int PGProgressPercent(int step, int max) {
    return max <= 0 ? 100 : int(int64_t(step) * 100 / max);
}
