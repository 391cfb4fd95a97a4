#pragma once
// The album's printed pages, built once and drawn as often as needed: each
// picture is read (large JPEGs reduced while decoding to about twice what
// the page needs), turned and resampled a single time into a prepared
// frame; painting only draws the prepared frames, their outlines and
// captions. The album window's preview and printing and `tavtool album
// print` share it.

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "album/file/albumfile.h"
#include "core/pixelgraphic.h"

class QPainter;

struct TAlbumFrame {
    int page = 0;
    QRect cell, rect;
    std::unique_ptr<TPixelGraphic> picture; // none when it could not be read
    QString caption;
    QRect band; // the caption's own strip at the cell's bottom (empty: no captions)
};

struct TAlbumPrintSetup {
    QSize paper;           // the whole sheet in device pixels
    int dpiX = 0, dpiY = 0; // the device's resolution
    int quality = 0;       // 0..2: 150, 200, 250 pixels per inch
    bool shrinkOnLoad = true;
};

// The frames of `album` on pages of `setup`, in entry order. With captions,
// each picture keeps out of the caption band at its cell's bottom. `progress`
// (entry index, path) is asked before each entry and stops the build by
// answering false; `failed` gets the message of each picture that cannot be
// shown ("Can't load graphic file " and its path, or "Error Rotating Image").
std::vector<TAlbumFrame> AlbumPrepareFrames(
    const TAlbum& album, const TAlbumPrintSetup& setup,
    const std::function<bool(size_t, const QString&)>& progress,
    const std::function<void(const QString&)>& failed);

// The pages drawn on `painter`: `newPage` is called between pages (never
// after the last). Outlines when the album prints frames; captions in
// `font` and `ink`, centred in their band below the picture and elided in
// the middle to the band's width.
void AlbumPaintFrames(const std::vector<TAlbumFrame>& frames, QPainter& painter,
                      bool printFrames, const QFont& font, const QColor& ink,
                      const std::function<void()>& newPage);

// The height in device pixels of the caption band under each picture: one
// and a half lines of `font` on a device of `dpiY`.
int AlbumCaptionBand(const QFont& font, int dpiY);

// The caption font of an album's header (point size brought into 1..99).
QFont AlbumCaptionFont(const TAlbumHeader& header);
// Its colour: the header's COLORREF, or `systemInk` for a system colour
// (negative values).
QColor AlbumCaptionInk(const TAlbumHeader& header, const QColor& systemInk);

// The path text of an entry's bytes.
QString AlbumPathText(const std::string& bytes);
