#pragma once
// Helpers of the thumbs tests: a smooth photo-like JPEG, PSNR between two
// pictures, readable Qt strings.

#include <QFile>
#include <QString>
#include <cmath>
#include <ostream>

#include "core/pixelgraphic.h"
#include "formats/jpeg.h"

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

// A W x H picture of smooth gradients with a few hard edges, written as a
// JPEG at quality 92: close enough to a photograph for scaling tests.
inline void WritePhotoJpeg(const QString& path, int W, int H) {
    TPixelGraphic p;
    p.SetFormat(W, H, pg24Bit);
    for (int y = 0; y < H; ++y) {
        uint8_t* row = p.ScanLine(y);
        for (int x = 0; x < W; ++x) {
            const double fx = double(x) / W, fy = double(y) / H;
            const bool block = (int(fx * 5) + int(fy * 4)) % 2 == 0;
            row[3 * x + 0] = uint8_t(40 + 180 * fx);
            row[3 * x + 1] = uint8_t(block ? 60 + 150 * fy : 200 - 120 * fy);
            row[3 * x + 2] = uint8_t(127 + 100 * std::sin(fx * 6 + fy * 3));
        }
    }
    const int q = JPEGQuality;
    JPEGQuality = 92;
    p.SaveToFile(path.toStdString());
    JPEGQuality = q;
}

// PSNR in dB of two 24-bit pictures of one size (inf when equal).
inline double Psnr(const TPixelGraphic& a, const TPixelGraphic& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return -1;
    double se = 0;
    int64_t n = 0;
    for (int y = 0; y < a.GetHeight(); ++y) {
        const uint8_t* ra = a.ScanLine(y);
        const uint8_t* rb = b.ScanLine(y);
        for (int i = 0; i < 3 * a.GetWidth(); ++i, ++n)
            se += double(ra[i] - rb[i]) * (ra[i] - rb[i]);
    }
    if (se == 0) return INFINITY;
    return 10 * std::log10(255.0 * 255.0 * n / se);
}
