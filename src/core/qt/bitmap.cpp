#include "core/qt/bitmap.h"

#include <algorithm>
#include <cstring>

#include "core/exceptions.h"
#include "core/options.h"
#include "core/qt/drawing.h"

void AssignToBitmap(const TPixelGraphic& pg, QImage& bitmap) {
    const int W = pg.GetWidth(), H = pg.GetHeight();
    if (pg.GetEmpty() || W <= 0 || H <= 0) {
        bitmap = QImage();
        return;
    }
    pg.FlushCanvas();
    const TPGPixelFormat f = pg.PixelFormat();
    if (f == pg24Bit) {
        QImage out(W, H, QImage::Format_RGB32);
        if (out.isNull()) throw EPixelGraphic(PGMessage(31, "AssignToBitmap"));
        for (int y = 0; y < H; ++y) {
            const uint8_t* s = pg.ScanLine(y);
            auto* d = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = 0; x < W; ++x)
                d[x] = qRgb(s[3 * x + 2], s[3 * x + 1], s[3 * x]);
        }
        bitmap = std::move(out);
        return;
    }
    QImage out(W, H, f == pg1Bit ? QImage::Format_Mono : QImage::Format_Indexed8);
    if (out.isNull()) throw EPixelGraphic(PGMessage(31, "AssignToBitmap"));
    int maxIndex = 0;
    for (int y = 0; y < H; ++y) {
        const uint8_t* s = pg.ScanLine(y);
        uchar* d = out.scanLine(y);
        if (f == pg1Bit) {
            std::memcpy(d, s, size_t((W + 7) / 8));
            maxIndex = 1;
        } else if (f == pg4Bit) {
            for (int x = 0; x < W; ++x) {
                d[x] = x % 2 == 0 ? s[x / 2] >> 4 : s[x / 2] & 15;
                maxIndex = std::max<int>(maxIndex, d[x]);
            }
        } else {
            std::memcpy(d, s, size_t(W));
            for (int x = 0; x < W; ++x)
                maxIndex = std::max<int>(maxIndex, s[x]);
        }
    }
    // The palette as it stands, grown (with entry 0, as the store's colour
    // table does) only as far as the pixels need.
    QVector<QRgb> table = PGColorTable(pg);
    table.resize(std::max(pg.PaletteCount(), maxIndex + 1));
    out.setColorTable(table);
    if (f == pg4Bit) out.setText(kPGBitsPerPixelKey, "4");
    bitmap = std::move(out);
}

void AssignFromBitmap(TPixelGraphic& pg, const QImage& bitmap) {
    TPGUpdateScope update(pg);
    pg.SetGamma(DisplayGamma);
    if (bitmap.isNull()) {
        pg.SetFormat(0, 0, pg24Bit);
        update.Finish();
        return;
    }
    const int W = bitmap.width(), H = bitmap.height();
    QImage src = bitmap;
    if (src.format() == QImage::Format_MonoLSB) src = src.convertToFormat(QImage::Format_Mono);
    if (src.format() == QImage::Format_Grayscale8) {
        QVector<QRgb> gray(256);
        for (int i = 0; i < 256; ++i)
            gray[i] = qRgb(i, i, i);
        src = src.convertToFormat(QImage::Format_Indexed8, gray);
    }
    const QImage::Format qf = src.format();
    if (qf == QImage::Format_Mono || qf == QImage::Format_Indexed8) {
        const QVector<QRgb> table = src.colorTable();
        bool four = qf == QImage::Format_Indexed8 && src.text(kPGBitsPerPixelKey) == "4" &&
                    table.size() <= 16;
        for (int y = 0; four && y < H; ++y) {
            const uchar* s = src.constScanLine(y);
            for (int x = 0; x < W; ++x)
                if (s[x] > 15) four = false;
        }
        const TPGPixelFormat f = qf == QImage::Format_Mono ? pg1Bit : four ? pg4Bit : pg8Bit;
        pg.SetFormat(W, H, f);
        const int n = std::min<int>(int(table.size()), PixelFormatColors(f));
        pg.SetPaletteCount(n);
        for (int i = 0; i < n; ++i)
            pg.SetPaletteEntry(i, RGB(qRed(table[i]), qGreen(table[i]), qBlue(table[i])));
        for (int y = 0; y < H; ++y) {
            const uchar* s = src.constScanLine(y);
            uint8_t* d = pg.ScanLine(y);
            if (f == pg1Bit) {
                std::memcpy(d, s, size_t((W + 7) / 8));
            } else if (f == pg4Bit) {
                std::memset(d, 0, size_t(pg.RowBytes()));
                for (int x = 0; x < W; ++x)
                    d[x / 2] |= x % 2 == 0 ? s[x] << 4 : s[x];
            } else {
                std::memcpy(d, s, size_t(W));
            }
        }
    } else {
        if (qf != QImage::Format_RGB32 && qf != QImage::Format_ARGB32)
            src = src.convertToFormat(QImage::Format_RGB32);
        pg.SetFormat(W, H, pg24Bit);
        for (int y = 0; y < H; ++y) {
            const auto* s = reinterpret_cast<const QRgb*>(src.constScanLine(y));
            uint8_t* d = pg.ScanLine(y);
            for (int x = 0; x < W; ++x) {
                d[3 * x] = uint8_t(qBlue(s[x]));
                d[3 * x + 1] = uint8_t(qGreen(s[x]));
                d[3 * x + 2] = uint8_t(qRed(s[x]));
            }
        }
    }
    pg.IdentifyPalette();
    pg.Changed();
    update.Finish();
}
