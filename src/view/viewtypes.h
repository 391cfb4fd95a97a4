#pragma once
// Enumerations of the image view control.

#include <cstdint>

enum TActionMode : uint8_t {
    amMoveImage,
    amMoveResizeCreateSelection,
    amMoveSelection,
    amMoveSelectionMoveImage,
    amCreateSelection,
    amNone,
};

// How the paint size follows the picture and the control ("KAR": keeping the
// aspect ratio).
enum TStretch : uint8_t {
    sNeverKAR,
    sAlways,
    sAlwaysKAR,
    sShrink,
    sShrinkKAR,
    sEnlarge,
    sEnlargeKAR,
    sAlwaysLongerEdgeKAR,
    sShrinkLongerEdgeKAR,
    sEnlargeShrinkLongerEdgeKAR,
    sEnlargeLongerEdgeKAR,
    sZoomKAR,
};

enum TTiling : uint8_t { tNone, tRepeat, tMirrorHorizontal, tMirrorVertical, tMirror };

enum TBorderStyle : uint8_t { bsNone, bsSingle };
