#include "thumbs/thumbmaker.h"

#include <QPainter>
#include <QPainterPath>
#include <sys/stat.h>

#include "core/colour.h"
#include "core/qt/bitmap.h"
#include "core/registry.h"
#include "core/stream.h"
#include "formats/desktopicon.h"

void PrepareLibraryForWorkers() {
    static const uint8_t none[1] = {0};
    TReadOnlyMemoryStream s(none, 0);
    FindReader(s, "jpg");
    FindWriter("png");
}

void CheckRegularFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw EThumbnail("Cannot open " + path);
    if (!S_ISREG(st.st_mode)) throw EThumbnail("Not a regular file: " + path);
}

namespace {
void SetReadOptions(TPixelGraphic& p, const TThumbOptions& o) {
    p.SetFastRead(o.fast);
    p.SetStretchMode(o.fast ? smFast : smPrecise);
    p.SetReadWarningAction(o.warnings);
}
} // namespace

void LoadThumbSource(const std::string& path, const TThumbOptions& o, TPixelGraphic& source,
                     int& fullW, int& fullH) {
    CheckRegularFile(path);
    SetReadOptions(source, o);
    source.SetLoadSizeHint(o.loadHint);
    try {
        source.LoadFromFile(path);
    } catch (const std::exception&) {
        // Icons of today (PNG-compressed or 32-bit with alpha) that the
        // library's icon reader refuses are read as the preview reads them,
        // so the thumbnail shows what the preview shows.
        TFileStream file(path, TFileStream::OpenRead);
        if (!LoadDesktopIcon(file, o.background, source)) throw;
    }
    fullW = source.GetWidth();
    fullH = source.GetHeight();
    if (source.GetEmpty() || fullW < 1 || fullH < 1) throw EThumbnail("Empty picture: " + path);
    // Thumbnails, their cache and contact sheets are sRGB, as untagged
    // pictures are read everywhere: a tagged picture is converted here.
    PGConvertColours(source, TPGColourTarget::sRGB);
    if (o.loadHint > 0) {
        // The decoder may have shrunk the picture: the geometry wants the
        // file's own size, which its header still tells.
        std::string type;
        TPGImageInfo info;
        if (GetFileImageInfo(path, 0, type, info) && info.Width >= fullW && info.Height >= fullH) {
            fullW = info.Width;
            fullH = info.Height;
        }
    }
}

void PlaceThumbnail(TPixelGraphic& source, int fullW, int fullH, const TThumbOptions& o,
                    TPixelGraphic& scaled, TPixelGraphic& square) {
    const int S = o.size;
    const TThumbPlace p = ThumbPlace(fullW, fullH, S);
    square.SetStretchMode(o.fast ? smFast : smPrecise);
    scaled.SetStretchMode(o.fast ? smFast : smPrecise);
    square.SetFormat(S, S, pg24Bit);
    square.SetBackgroundColor(o.background);
    square.Clear();
    if (p.width < 1 || p.height < 1) return;
    scaled.SetFormat(p.width, p.height, pg24Bit);
    scaled.CopyFrom(source);
    square.CopyRect(p.left, p.top, scaled, 0, 0, p.width, p.height);
}

bool MakeThumbnail(const std::string& path, const TThumbOptions& o, TPixelGraphic& square) {
    TPixelGraphic source, scaled;
    bool ok = true;
    int w = 0, h = 0;
    try {
        LoadThumbSource(path, o, source, w, h);
    } catch (const std::exception&) {
        ok = false;
        QuestionMarkPicture(source);
        w = source.GetWidth();
        h = source.GetHeight();
    }
    PlaceThumbnail(source, w, h, o, scaled, square);
    return ok;
}

void PlaceQuestionMark(const TThumbOptions& o, TPixelGraphic& square) {
    TPixelGraphic q, scaled;
    QuestionMarkPicture(q);
    PlaceThumbnail(q, q.GetWidth(), q.GetHeight(), o, scaled, square);
}

void QuestionMarkPicture(TPixelGraphic& picture) {
    // Drawn once into a 256-colour image; each caller gets its own copy.
    static const QImage image = [] {
        QImage rgb(80, 80, QImage::Format_RGB32);
        rgb.fill(QColor(255, 255, 255));
        QPainter p(&rgb);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(128, 128, 128), 2));
        p.setBrush(QColor(240, 240, 240));
        p.drawRoundedRect(QRectF(3, 3, 74, 74), 8, 8);
        // The hook: an arc over the top, bending down into a short stem.
        QPainterPath hook;
        hook.moveTo(26, 30);
        hook.cubicTo(26, 14, 54, 14, 54, 30);
        hook.cubicTo(54, 40, 40, 40, 40, 52);
        p.setPen(QPen(QColor(0, 0, 160), 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(hook);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 160));
        p.drawEllipse(QPointF(40, 64), 5, 5);
        p.end();
        return rgb.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    }();
    AssignFromBitmap(picture, image);
}
