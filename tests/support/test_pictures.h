#pragma once
// Small pictures built in code for the drawing and view tests: every pixel
// different from its neighbours, palettes with distinct colours.

#include <QImage>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

#include "core/pixelgraphic.h"

// Palette entry i of the test palettes: distinct, not grey.
inline TRGB TestPaletteColor(int i) {
    return RGB(17 * i + 5, 255 - 13 * i, (97 * i) & 255);
}

// A width x height picture in `format`: palette pictures get a full palette
// and pixel index (x + 2y) mod colours; 24-bit pixels a colour made of x and y.
inline std::unique_ptr<TPixelGraphic> MakeTestPicture(TPGPixelFormat format, int width,
                                                      int height) {
    auto pg = std::make_unique<TPixelGraphic>();
    pg->SetFormat(width, height, format);
    const int colors = PixelFormatColors(format);
    if (colors > 0) {
        pg->SetPaletteCount(colors);
        for (int i = 0; i < colors; ++i)
            pg->SetPaletteEntry(i, TestPaletteColor(i));
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (colors > 0)
                pg->SetPixel(x, y, (x + 2 * y) % colors);
            else
                pg->SetPixel(x, y, RGB(40 * x + 3, 50 * y + 7, 90 + x * y));
        }
    return pg;
}

// The colour a picture shows at (x, y), as a QRgb.
inline QRgb ShownColor(const TPixelGraphic& pg, int x, int y) {
    const TRGB c = pg.GetPixelColor(x, y);
    return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

// Same size, pixel format, palette and bytes on every row.
inline void ExpectSamePixels(const TPixelGraphic& a, const TPixelGraphic& b) {
    ASSERT_EQ(a.GetWidth(), b.GetWidth());
    ASSERT_EQ(a.GetHeight(), b.GetHeight());
    ASSERT_EQ(a.PixelFormat(), b.PixelFormat());
    EXPECT_EQ(a.Palette(), b.Palette());
    for (int y = 0; y < a.GetHeight(); ++y)
        ASSERT_EQ(0, std::memcmp(a.ScanLine(y), b.ScanLine(y), size_t(a.RowBytes()))) << y;
}
