#pragma once
// Web publishing without widgets: an album's pictures as full-size JPEG
// copies and thumbnails in one folder, and HTML pages with a grid of
// thumbnails linking to them. The wizard and `tavtool publish` both call
// Publish().
//
// Safer than the pages it is modelled on: every text and file name is
// HTML-escaped and every link percent-encoded; an output never replaces one
// of the album's pictures (nor a file this run wrote: a taken name N gets
// N_2, N_3, ...); files are written whole or not at all; a picture that
// cannot be read is reported and left out.

#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "album/albumentry.h"
#include "core/types.h"

struct TPublishSettings {
    int thumbnailSize = 96; // 32..256
    int columns = 3, rows = 2;
    int maxSize = 2000; // 40..2000
    bool showFrames = false;
    int quality = 80; // 10..100
    bool autoSharpen = true;
    int sharpenAmount = 60; // 40..80
    bool progressive = true;
    // Thumbnails also as WebP files (same quality), shown by the pages
    // through <picture> with the JPEG thumbnail as the fallback.
    bool webp = false;
    int captionOption = 0; // 0 none, 1 file name, 2 caption
    QString folder;        // output folder
    QString pageName = "myphotos.html";
    QString title, header, footer;
    TRGB background = 0xFFFFFF, text = 0; // COLORREF
    QString backgroundImage;
    bool useBackgroundImage = false;
};

struct TPublishResult {
    QString firstPage;           // the first page's path, when it was written
    QStringList messages;        // what went wrong, in order
    int written = 0, failed = 0; // entries
    bool cancelled = false;
};

// Pages for `entries` cells of columns x rows.
int PublishPageCount(int entries, int columns, int rows);
// "1 page" / "n pages".
QString PublishPageCountText(int pages);
// The page base name: the Page Name up to its first dot; empty when the name
// gives none or holds a "/" (refused by the wizard: "Invalid page name").
QString PublishPageBase(const QString& pageName);
// RRGGBB, upper case, from a COLORREF.
QString PublishColor(TRGB color);
// Fit(S) of a W x H picture: S x S when square, else the longer side S and
// the other Trunc'ed (at least 1); small pictures are enlarged.
QSize PublishFit(QSize source, int size);
// N of a file: its name up to the first dot.
QString PublishBaseName(const QString& path);
// Text and attribute escaping for the pages.
QString HtmlText(const QString& s);
QString HtmlUrl(const QString& fileName);

// Called after each entry with the number done; returning false cancels
// (pages not yet written stay unwritten).
using TPublishProgress = std::function<bool(int done)>;

TPublishResult Publish(const std::vector<TAlbumEntry>& entries, const TPublishSettings& settings,
                       const TPublishProgress& progress = {});
