#include "album/albumlayout.h"

#include <QFile>
#include <cmath>

#include "core/colour.h"
#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "processing/geometryops.h"

std::vector<QRect> AlbumPageCells(QSize page, int left, int top, int right, int bottom, int rows,
                                  int columns) {
    std::vector<QRect> cells;
    if (rows < 1 || columns < 1) return cells;
    const int cw = (page.width() - left - right) / columns;
    const int ch = (page.height() - top - bottom) / rows;
    if (cw <= 0 || ch <= 0) return cells;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            cells.emplace_back(left + c * cw, top + r * ch, cw, ch);
    return cells;
}

QRect AlbumFrameRect(const QRect& cell, double ratio, int border) {
    if (!(ratio > 0) || !std::isfinite(ratio)) return {};
    long long w = cell.width() - 2LL * border;
    long long h = std::llrint(std::nearbyint(ratio * double(w)));
    if (h > cell.height() - 2LL * border) {
        h = cell.height() - 2LL * border;
        w = std::llrint(std::nearbyint(double(h) / ratio));
    }
    // A frame with no area draws nothing (it is no fault of the file).
    if (w <= 0 || h <= 0) return {};
    const int left = cell.left() + int((cell.width() - w) / 2);
    const int top = cell.top() + int((cell.height() - h) / 2);
    return QRect(left, top, int(w), int(h));
}

std::unique_ptr<TPixelGraphic> AlbumRotatedPicture(const QString& path, int rotation,
                                                   int loadHint) {
    auto pg = std::make_unique<TPixelGraphic>();
    pg->SetReadWarningAction(pgwaIgnore);
    if (loadHint > 0) pg->SetLoadSizeHint(loadHint);
    pg->LoadFromFile(QFile::encodeName(path).toStdString());
    // Album pages and their print are sRGB: a tagged picture is converted.
    PGConvertColours(*pg, TPGColourTarget::sRGB);
    if (rotation <= 0) return pg;
    try {
        return RotatePicture(*pg, 90.0L * (rotation & 3));
    } catch (const std::exception&) {
        throw EPixelGraphic("Error Rotating Image");
    }
}

std::unique_ptr<TPixelGraphic> AlbumResampled(TPixelGraphic& picture, QSize frame, int dpiX,
                                              int dpiY, int quality) {
    static const int sampling[3] = {150, 200, 250};
    const int s = sampling[std::clamp(quality, 0, 2)];
    if (dpiX <= 0 || dpiY <= 0) return nullptr;
    const int w = int(double(frame.width()) / dpiX * s);
    const int h = int(double(frame.height()) / dpiY * s);
    if (w <= 0 || h <= 0) return nullptr;
    auto out = std::make_unique<TPixelGraphic>();
    out->SetStretchMode(quality == 0 ? smFast : smPrecise);
    out->SetFormat(w, h, pg24Bit);
    out->CopyFrom(picture);
    return out;
}
