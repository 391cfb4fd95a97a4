#include "formats/qt/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <cstring>

#include "core/exceptions.h"
#include "core/options.h"
#include "core/qt/bitmap.h"
#include "core/stream.h"
#include "formats/bmp.h"

namespace {
void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v[at + size_t(i)] = uint8_t(x >> (8 * i));
}
} // namespace

std::vector<uint8_t> SaveToClipboardFormat(TPixelGraphic& pg) {
    if (pg.GetEmpty() || pg.GetWidth() <= 0 || pg.GetHeight() <= 0)
        throw EPGEmpty(PGMessage(16, "PixelGraphic"));
    // The header's size fields cannot describe more.
    if (pg.ImageSize() > int64_t(UINT32_MAX) - 2048)
        throw EPixelGraphic(PGMessage(31, "GlobalAlloc"));
    return EncodePackedDIB(pg);
}

void LoadFromClipboardFormat(TPixelGraphic& pg, int format, const uint8_t* data, size_t size) {
    if ((format != CF_DIB && format != CF_BITMAP) || !data || size == 0)
        throw EPGUnknownClipboardFormat(PGMessage(4));
    // Read beside the picture so bad data changes nothing.
    TPixelGraphic read;
    DecodePackedDIB(read, data, size);
    read.IdentifyPalette();
    TPGUpdateScope update(pg);
    pg.Assign(&read);
    pg.SetGamma(DisplayGamma);
    update.Finish();
}

std::vector<uint8_t> PGBmpFileFromPicture(TPixelGraphic& pg) {
    const std::vector<uint8_t> dib = SaveToClipboardFormat(pg);
    std::vector<uint8_t> out(14 + dib.size());
    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, uint32_t(out.size()));
    Put32(out, 6, 0);
    // Pixels follow the header and the colour table the encoder wrote.
    Put32(out, 10, uint32_t(out.size() - size_t(pg.ImageSize())));
    std::memcpy(out.data() + 14, dib.data(), dib.size());
    return out;
}

QMimeData* PGMimeDataFromPicture(TPixelGraphic& pg) {
    const std::vector<uint8_t> bmp = PGBmpFileFromPicture(pg);
    QImage image;
    AssignToBitmap(pg, image);
    auto* mime = new QMimeData;
    mime->setData("image/bmp",
                  QByteArray(reinterpret_cast<const char*>(bmp.data()), qsizetype(bmp.size())));
    mime->setImageData(image);
    return mime;
}

void PGCopyToClipboard(TPixelGraphic& pg) {
    QGuiApplication::clipboard()->setMimeData(PGMimeDataFromPicture(pg));
}

bool PGClipboardHasPicture() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return mime && (mime->hasFormat("image/bmp") || mime->hasImage());
}

void PGPasteFromMimeData(TPixelGraphic& pg, const QMimeData* mime) {
    if (mime && mime->hasFormat("image/bmp")) {
        const QByteArray bmp = mime->data("image/bmp");
        if (bmp.isEmpty()) throw EPGUnknownClipboardFormat(PGMessage(4));
        TReadOnlyMemoryStream stream(bmp.constData(), bmp.size());
        TPixelGraphic read;
        read.LoadFromStream(stream);
        read.IdentifyPalette();
        TPGUpdateScope update(pg);
        pg.Assign(&read);
        pg.SetGamma(DisplayGamma);
        update.Finish();
        return;
    }
    if (mime && mime->hasImage()) {
        const QImage image = qvariant_cast<QImage>(mime->imageData());
        if (!image.isNull()) {
            AssignFromBitmap(pg, image);
            return;
        }
    }
    throw EPGUnknownClipboardFormat(PGMessage(4));
}

void PGPasteFromClipboard(TPixelGraphic& pg) {
    PGPasteFromMimeData(pg, QGuiApplication::clipboard()->mimeData());
}
