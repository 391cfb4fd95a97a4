#pragma once
// Shared by the benchmarks: a photo-like 24-bit picture (diagonal bands with
// grain, so JPEG and the resamplers work as hard as on a camera's file),
// made in memory or saved once.

#include <QFile>
#include <QString>
#include <cstdint>

#include "core/pixelgraphic.h"
#include "formats/jpeg.h"

inline void FillBandsWithGrain(TPixelGraphic& pg, int w, int h, uint32_t seed) {
    pg.SetFormat(w, h, pg24Bit);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = pg.ScanLine(y);
        for (int x = 0; x < 3 * w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            row[x] = uint8_t((x / 40 + y / 30 + int(seed >> 28)) & 255);
        }
    }
}

// Saved by the extension of `path` (JPEGs at quality 90) unless it exists.
inline void SaveBandsWithGrain(const QString& path, int w, int h, uint32_t seed) {
    if (QFile::exists(path)) return;
    TPixelGraphic pg;
    FillBandsWithGrain(pg, w, h, seed);
    JPEGQuality = 90;
    pg.SaveToFile(QFile::encodeName(path).toStdString());
}
