#include "core/qt/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <cstring>

#include "core/exceptions.h"
#include "core/qt/bitmap.h"

namespace {
void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + size_t(i)] = uint8_t(x >> (8 * i));
}
} // namespace

std::vector<uint8_t> SaveToClipboardFormat(const TPixelGraphic& pg) {
    if (pg.GetEmpty() || pg.GetWidth() <= 0 || pg.GetHeight() <= 0)
        throw EPGEmpty(PGMessage(16, "PixelGraphic"));
    pg.FlushCanvas();
    BITMAPINFO bi = pg.GetBitmapInfo();
    BITMAPINFOHEADER h = bi.bmiHeader;
    const int pc = pg.PaletteCount();
    h.biClrUsed = uint32_t(pc);
    const int64_t total = 40 + 4 * int64_t(pc) + pg.ImageSize();
    // The header's size field cannot describe more.
    if (pg.ImageSize() > int64_t(UINT32_MAX) - 1024) throw EPixelGraphic(PGMessage(31, "GlobalAlloc"));
    h.biSizeImage = uint32_t(pg.ImageSize());
    std::vector<uint8_t> out(static_cast<size_t>(total));
    std::memcpy(out.data(), &h, 40);
    for (int i = 0; i < pc; ++i) {
        const TRGB c = pg.Palette()[size_t(i)];
        uint8_t* q = out.data() + 40 + 4 * i;
        q[0] = uint8_t(GetBValue(c));
        q[1] = uint8_t(GetGValue(c));
        q[2] = uint8_t(GetRValue(c));
        q[3] = 0;
    }
    std::memcpy(out.data() + 40 + 4 * pc, pg.Bits(), size_t(pg.ImageSize()));
    return out;
}

std::vector<uint8_t> PGBmpFileFromPicture(const TPixelGraphic& pg) {
    const std::vector<uint8_t> dib = SaveToClipboardFormat(pg);
    std::vector<uint8_t> out(14 + dib.size());
    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, uint32_t(out.size()));
    Put32(out, 6, 0);
    Put32(out, 10, uint32_t(14 + 40 + 4 * pg.PaletteCount()));
    std::memcpy(out.data() + 14, dib.data(), dib.size());
    return out;
}

QMimeData* PGMimeDataFromPicture(const TPixelGraphic& pg) {
    const std::vector<uint8_t> bmp = PGBmpFileFromPicture(pg);
    QImage image;
    AssignToBitmap(pg, image);
    auto* mime = new QMimeData;
    mime->setData("image/bmp", QByteArray(reinterpret_cast<const char*>(bmp.data()),
                                          qsizetype(bmp.size())));
    mime->setImageData(image);
    return mime;
}

void PGCopyToClipboard(const TPixelGraphic& pg) {
    QGuiApplication::clipboard()->setMimeData(PGMimeDataFromPicture(pg));
}

bool PGClipboardHasPicture() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return mime && (mime->hasFormat("image/bmp") || mime->hasImage());
}
