#pragma once
// Rows of 8-bit RGB(A) pixels as decoders hand them out, into the picture's
// blue-green-red rows. Alpha is composited onto a background colour the way
// the desktop-icon path does it: each channel c * a + b * (255 - a), rounded.

#include <cstdint>

#include "core/types.h"

namespace rgbarows {

inline uint8_t Blend(int c, int b, int alpha) {
    return uint8_t((c * alpha + b * (255 - alpha) + 127) / 255);
}

// Straight (not premultiplied) R, G, B, A bytes.
inline void RGBAToBGR(const uint8_t* src, uint8_t* dst, int width, TRGB background) {
    const int br = GetRValue(background), bg = GetGValue(background), bb = GetBValue(background);
    for (int x = 0; x < width; ++x, src += 4, dst += 3) {
        const int a = src[3];
        if (a == 255) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
        } else {
            dst[0] = Blend(src[2], bb, a);
            dst[1] = Blend(src[1], bg, a);
            dst[2] = Blend(src[0], br, a);
        }
    }
}

// R, G, B bytes.
inline void RGBToBGR(const uint8_t* src, uint8_t* dst, int width) {
    for (int x = 0; x < width; ++x, src += 3, dst += 3) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
    }
}

} // namespace rgbarows
