#include "album/albumprint.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "album/albumlayout.h"
#include "core/pixelgraphic.h"
#include "core/qt/drawing.h"

QString AlbumPathText(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

QFont AlbumCaptionFont(const TAlbumHeader& header) {
    QFont font(QString::fromStdString(header.fontName));
    font.setPointSize(std::clamp(header.fontSize, 1, 99));
    font.setBold(header.bold);
    font.setItalic(header.italic);
    return font;
}

QColor AlbumCaptionInk(const TAlbumHeader& header, const QColor& systemInk) {
    if (header.fontColor < 0) return systemInk;
    return QColor(int(header.fontColor & 0xFF), int((header.fontColor >> 8) & 0xFF),
                  int((header.fontColor >> 16) & 0xFF));
}

int AlbumCaptionBand(const QFont& font, int dpiY) {
    QFont f(font);
    f.setPixelSize(std::max(1, int(std::lround(font.pointSizeF() * std::max(1, dpiY) / 72.0))));
    return int(std::ceil(QFontMetricsF(f).height() * 1.5));
}

std::vector<TAlbumFrame> AlbumPrepareFrames(
    const TAlbum& album, const TAlbumPrintSetup& setup,
    const std::function<bool(size_t, const QString&)>& progress,
    const std::function<void(const QString&)>& failed) {
    std::vector<TAlbumFrame> frames;
    const int m = setup.dpiX; // one inch on every side
    const std::vector<QRect> cells = AlbumPageCells(setup.paper, m, m, m, m, album.header.rows,
                                                    album.header.columns);
    if (cells.empty()) return frames;
    // What a frame can need at most: its cell at the quality's resolution;
    // JPEGs are decoded at no less than twice that.
    const int ppi = 150 + 50 * std::clamp(setup.quality, 0, 2);
    const int longest = std::max(cells[0].width() * ppi / std::max(1, setup.dpiX),
                                 cells[0].height() * ppi / std::max(1, setup.dpiY));
    const int hint = setup.shrinkOnLoad ? 2 * std::max(1, longest) : 0;
    const int band = album.header.captionOption == 1 || album.header.captionOption == 2
                         ? std::min(AlbumCaptionBand(AlbumCaptionFont(album.header), setup.dpiY),
                                    cells[0].height() / 2)
                         : 0;
    size_t k = 0;
    int page = 0;
    for (size_t i = 0; i < album.entries.size(); ++i) {
        const TAlbumEntry& e = album.entries[i];
        const QString path = AlbumPathText(e.path);
        if (progress && !progress(i, path)) break;
        TAlbumFrame f;
        f.page = page;
        f.cell = cells[k];
        f.caption = album.header.captionOption == 1 ? QFileInfo(path).fileName()
                    : album.header.captionOption == 2
                        ? QString::fromUtf8(e.caption.data(), qsizetype(e.caption.size()))
                        : QString();
        if (band > 0)
            f.band = QRect(f.cell.left(), f.cell.bottom() + 1 - band, f.cell.width(), band);
        try {
            std::unique_ptr<TPixelGraphic> pg = AlbumRotatedPicture(path, e.rotation, hint);
            const double ratio = double(pg->GetHeight()) / std::max(1, pg->GetWidth());
            f.rect = AlbumFrameRect(f.cell.adjusted(0, 0, 0, -band), ratio, album.header.border);
            if (!f.rect.isEmpty())
                f.picture = AlbumResampled(*pg, f.rect.size(), setup.dpiX, setup.dpiY,
                                           setup.quality);
        } catch (const std::exception& ex) {
            const QString what = QString::fromLocal8Bit(ex.what());
            if (failed)
                failed(what == "Error Rotating Image" ? what : "Can't load graphic file " + path);
        }
        frames.push_back(std::move(f));
        if (++k == cells.size() && i + 1 < album.entries.size()) {
            k = 0;
            ++page;
        }
    }
    return frames;
}

void AlbumPaintFrames(const std::vector<TAlbumFrame>& frames, QPainter& p, bool printFrames,
                      const QFont& font, const QColor& ink,
                      const std::function<void()>& newPage) {
    p.setFont(font);
    const QFontMetrics fm(font, p.device());
    int drawn = 0;
    for (const TAlbumFrame& f : frames) {
        while (drawn < f.page) {
            if (newPage) newPage();
            ++drawn;
        }
        if (printFrames) {
            p.setPen(Qt::black);
            p.drawRect(f.cell.adjusted(0, 0, -1, -1));
        }
        if (f.picture) Draw(*f.picture, p, f.rect);
        if (!f.caption.isEmpty() && !f.band.isEmpty()) {
            p.setPen(ink);
            // A little room on each side, so a caption never touches the outline.
            const QRect room = f.band.adjusted(f.band.height() / 4, 0, -f.band.height() / 4, 0);
            const QString text = fm.elidedText(f.caption, Qt::ElideMiddle, room.width());
            p.drawText(room, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine, text);
        }
    }
}
