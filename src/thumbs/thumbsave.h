#pragma once
// Saved thumbnails ("thm_" files): which file each source becomes, the guard
// that keeps every output off the run's sources and off each other, and
// writing one square. The explorer's save loop and `tavtool thumbs` share it.

#include <QString>
#include <QStringList>
#include <vector>

#include "core/pixelgraphic.h"
#include "thumbs/thumbmaker.h"

// The formats saved thumbnails are written in, as the Save dialog lists them.
const QStringList& ThumbSaveFormatTexts();
// Lower-case extensions the Save dialog can produce ("bmp", "jpg", ...).
bool IsThumbSaveExt(const QString& ext);

struct TThumbSaveItem {
    QString source;  // full path
    QString output;  // full path of the thumbnail
    QString refusal; // non-empty: not written, this says why ("Would overwrite ...")
};

// One item per source, in order. An output that is one of the sources (same
// device and inode, links followed, also through a linked folder), or that an
// earlier source of the run already claimed, is refused with
// "Would overwrite " + output. An empty `outFolder` puts each thumbnail
// beside its source.
std::vector<TThumbSaveItem> PlanThumbnailSaves(const QStringList& sources, const QString& outFolder,
                                               const QString& prefix, const QString& ext);

// Checks `output` against every source once more (the folder may have changed
// since planning) and throws EThumbnail("Would overwrite ...") when it is one.
void GuardOutput(const QString& output, const QStringList& sources);

// Reads `item.source`, makes its square and writes it to `item.output`
// (temporary file, renamed when complete). Throws on any failure; nothing is
// left behind then, and `failure` (when given) says which step failed:
// the refusal, "Error reading <source>" or "Error writing <output>: <why>".
void SaveThumbnailItem(const TThumbSaveItem& item, const QStringList& sources,
                       const TThumbOptions& o, TPixelGraphic& source, TPixelGraphic& scaled,
                       TPixelGraphic& square, QString* failure = nullptr);
