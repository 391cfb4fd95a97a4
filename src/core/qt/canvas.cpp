#include "core/qt/canvas.h"

#include <cstring>

#include "core/exceptions.h"

TPGCanvas::~TPGCanvas() {
    // The picture flushes before it lets its canvas go; what is left here is
    // only the painter to end.
    if (painter_) painter_->end();
}

namespace {
// Colour of palette entry i as the store's colour table shows it: entries
// past the palette repeat entry 0, an empty palette is black.
QRgb TableColor(const TPixelGraphic& pg, int i) {
    const auto& pal = pg.Palette();
    if (pal.empty()) return qRgb(0, 0, 0);
    TRGB c = pal[size_t(i < int(pal.size()) ? i : 0)];
    return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}
} // namespace

void TPGCanvas::CreateHandle() {
    const TPixelGraphic& pg = picture_;
    const int w = pg.GetWidth(), h = pg.GetHeight();
    if (pg.GetEmpty() || w <= 0 || h <= 0) return;
    image_ = QImage(w, h, QImage::Format_RGB32);
    if (image_.isNull()) throw EPixelGraphic(PGMessage(31, "CreateCompatibleDC"));
    QRgb table[256];
    const int colors = pg.ColorCount();
    for (int i = 0; i < colors; ++i)
        table[i] = TableColor(pg, i);
    // The const store access does not flush (we are the one to flush).
    const uint8_t* bits = pg.Bits();
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = bits + int64_t(h - 1 - y) * pg.RowBytes();
        auto* d = reinterpret_cast<QRgb*>(image_.scanLine(y));
        switch (pg.PixelFormat()) {
        case pg1Bit:
            for (int x = 0; x < w; ++x)
                d[x] = table[(s[x / 8] >> (7 - x % 8)) & 1];
            break;
        case pg4Bit:
            for (int x = 0; x < w; ++x)
                d[x] = table[x % 2 == 0 ? s[x / 2] >> 4 : s[x / 2] & 15];
            break;
        case pg8Bit:
            for (int x = 0; x < w; ++x)
                d[x] = table[s[x]];
            break;
        default:
            for (int x = 0; x < w; ++x)
                d[x] = qRgb(s[3 * x + 2], s[3 * x + 1], s[3 * x]);
        }
    }
    painter_ = std::make_unique<QPainter>(&image_);
}

QPainter* TPGCanvas::Painter() {
    // Asking the picture for its canvas marks it as drawn on, so its next
    // direct pixel access flushes what this painter draws.
    if (!painter_) CreateHandle();
    picture_.Canvas();
    return painter_.get();
}

void TPGCanvas::Draw(const std::function<void(QPainter&)>& draw) {
    QPainter* p = Painter();
    if (!p) return;
    draw(*p);
    picture_.Changed();
}

void TPGCanvas::WriteBack() {
    if (!painter_) return;
    painter_->end();
    painter_.reset();
    TPixelGraphic& pg = picture_;
    const int w = std::min(pg.GetWidth(), image_.width());
    const int h = std::min(pg.GetHeight(), image_.height());
    const int colors = pg.ColorCount();
    QRgb table[256];
    for (int i = 0; i < colors; ++i)
        table[i] = TableColor(pg, i);
    // The painter is gone already, so a flush this access may start finds
    // nothing to write.
    uint8_t* bits = pg.Bits();
    if (!bits) return;
    const int64_t rowBytes = pg.RowBytes();
    for (int y = 0; y < h; ++y) {
        uint8_t* s = bits + int64_t(pg.GetHeight() - 1 - y) * rowBytes;
        const auto* d = reinterpret_cast<const QRgb*>(image_.constScanLine(y));
        auto nearest = [&](QRgb c) {
            return pg.NearestPaletteIndex(RGB(qRed(c), qGreen(c), qBlue(c)));
        };
        switch (pg.PixelFormat()) {
        case pg1Bit:
            for (int x = 0; x < w; ++x) {
                const int old = (s[x / 8] >> (7 - x % 8)) & 1;
                if ((d[x] & 0xFFFFFF) == (table[old] & 0xFFFFFF)) continue;
                const uint8_t mask = uint8_t(0x80 >> (x % 8));
                s[x / 8] = nearest(d[x]) == 1 ? (s[x / 8] | mask) : (s[x / 8] & ~mask);
            }
            break;
        case pg4Bit:
            for (int x = 0; x < w; ++x) {
                const int old = x % 2 == 0 ? s[x / 2] >> 4 : s[x / 2] & 15;
                if ((d[x] & 0xFFFFFF) == (table[old] & 0xFFFFFF)) continue;
                const int v = nearest(d[x]) & 15;
                s[x / 2] = x % 2 == 0 ? uint8_t((s[x / 2] & 0x0F) | (v << 4))
                                      : uint8_t((s[x / 2] & 0xF0) | v);
            }
            break;
        case pg8Bit:
            for (int x = 0; x < w; ++x)
                if ((d[x] & 0xFFFFFF) != (table[s[x]] & 0xFFFFFF)) s[x] = uint8_t(nearest(d[x]));
            break;
        default:
            for (int x = 0; x < w; ++x) {
                s[3 * x] = uint8_t(qBlue(d[x]));
                s[3 * x + 1] = uint8_t(qGreen(d[x]));
                s[3 * x + 2] = uint8_t(qRed(d[x]));
            }
        }
    }
    image_ = QImage();
}

void TPGCanvas::Flush() {
    // After the write-back the store may be changed directly, so the next
    // drawing starts again from the store.
    WriteBack();
}

void TPGCanvas::ReleaseHandle() {
    // Called before the palette or format changes: pending drawing is written
    // back with the colour table it was drawn against.
    WriteBack();
}

void InstallPGCanvas() {
    if (!TPixelGraphic::CanvasFactory)
        TPixelGraphic::CanvasFactory = [](TPixelGraphic& pg) -> std::unique_ptr<TPGCanvasBase> {
            return std::make_unique<TPGCanvas>(pg);
        };
}

TPGCanvas* PGCanvas(TPixelGraphic& picture) {
    InstallPGCanvas();
    return static_cast<TPGCanvas*>(picture.Canvas());
}
