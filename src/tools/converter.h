#pragma once
// The converter's rules and work without widgets, shared by the converter
// window and `tavtool convert --to`: the formats it offers, where a
// converted file goes, and the conversion itself (original size, or resized
// with optional sharpening; GIF through an optimised 252-colour palette).

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

#include "core/types.h"

class TPixelGraphic;

// The format list's entries, in order; the extension is the first three
// letters lower-cased.
const QStringList& ConvertFormatNames();
QString ConvertExtension(int formatIndex);

// The converted file of `source` with extension `ext`: its folder + its name
// up to and including the first dot + ext (a name without a dot gets one).
QString ConvertTarget(const QString& source, const QString& ext);

// The name after a "No" to "... exists. Overwrite?": "!" before the name.
QString ConvertRetryName(const QString& target);

// The first name of the overwrite loop that is not the source itself (same
// device and inode): the source is never offered for overwriting.
QString ConvertTargetAvoidingSource(const QString& source, const QString& ext);

struct TConvertOptions {
    QString ext = "bmp"; // bmp, jpg, tif, png, tga, gif, webp, avif
    bool originalSize = true;
    int width = 0, height = 0; // resize mode: the displayed size
    bool sharpen = true;       // resize mode: sharpen after resizing
    bool gifInterlaced = false;
    bool gifTransparent = false;
    TRGB gifTransparentColor = 0;
};

// The GIF picture of `picture`: 8 bits, an optimised palette of 252 colours
// with the system ones, dithered with RGB weighting.
std::unique_ptr<TPixelGraphic> ConvertGIFPicture(TPixelGraphic& picture);

// The load-size hint for reading `path` in resize mode: pictures drawn at
// any size (metafiles) are played at the size that covers the target
// instead of their full nominal size; 0 (full size) for every other file,
// whose pixels stay as the plain load gives them.
int ConvertLoadHint(const std::string& path, const TConvertOptions& options);

// The picture as it will be written (resized and sharpened in resize mode;
// the picture itself otherwise).
std::unique_ptr<TPixelGraphic> ConvertedPicture(TPixelGraphic& picture,
                                                const TConvertOptions& options);

// Converts `picture` into `target` (safe saving: an existing file stays
// until the new one is complete). Raises with the library's message when the
// picture cannot be written.
void ConvertToFile(TPixelGraphic& picture, const TConvertOptions& options, const QString& target);
