#include "tools/converter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

#include "core/exceptions.h"
#include "core/fileid.h"
#include "core/optpalette.h"
#include "core/pixelgraphic.h"
#include "core/pixelrows.h"
#include "core/registry.h"
#include "core/stream.h"
#include "formats/gifwrite.h"
#include "formats/qt/metafile_qt.h"
#include "processing/convfilter.h"

const QStringList& ConvertFormatNames() {
    static const QStringList names = {"BMP - bitmap",
                                      "JPG - jpeg (jfif compliant)",
                                      "TIF - Tagged Image File Format",
                                      "PNG - Portable Network Graphics",
                                      "TGA - Truevision Targa",
                                      "GIF - Graphic Interchange Format",
                                      "WEBP - WebP",
                                      "AVIF - AV1 Image File Format"};
    return names;
}

QString ConvertExtension(int formatIndex) {
    const QStringList& n = ConvertFormatNames();
    if (formatIndex < 0 || formatIndex >= n.size()) return "bmp";
    return n[formatIndex].section(' ', 0, 0).toLower();
}

QString ConvertTarget(const QString& source, const QString& ext) {
    const QFileInfo fi(source);
    const QString name = fi.fileName();
    const int dot = name.indexOf('.');
    const QString stem = dot < 0 ? name + "." : name.left(dot + 1);
    return QDir(fi.path()).filePath(stem + ext);
}

QString ConvertRetryName(const QString& target) {
    const QFileInfo fi(target);
    return QDir(fi.path()).filePath("!" + fi.fileName());
}

QString ConvertTargetAvoidingSource(const QString& source, const QString& ext) {
    QString target = ConvertTarget(source, ext);
    const std::string src = QFile::encodeName(source).toStdString();
    // Hard links and names that differ only in case on a card are the same
    // file: writing there would destroy the source while it is read.
    for (int i = 0; i < 1000 && SameFile(src, QFile::encodeName(target).toStdString()); ++i)
        target = ConvertRetryName(target);
    return target;
}

std::unique_ptr<TPixelGraphic> ConvertGIFPicture(TPixelGraphic& picture) {
    auto gif = std::make_unique<TPixelGraphic>();
    gif->SetFormat(picture.GetWidth(), picture.GetHeight(), pg8Bit);
    BuildOptimizedPalette(*gif, picture, 252, true);
    gif->SetDither(true);
    gif->SetRGBWeighting(true);
    gif->CopyFrom(picture);
    return gif;
}

int ConvertLoadHint(const std::string& path, const TConvertOptions& options) {
    if (options.originalSize || options.width <= 0 || options.height <= 0) return 0;
    try {
        TFileStream file(path, TFileStream::OpenRead);
        TFileFormatReader* reader = FindReader(file, FileExtensionHint(path));
        if (!reader || !IsMetafileReader(reader)) return 0;
        TPGImageInfo info;
        reader->GetInfo(file, 0, info);
        if (info.Width <= 0 || info.Height <= 0) return 0;
        // The scale at which the picture covers the target both ways; the
        // hint names the shorter side at that scale.
        const double scale = std::max(double(options.width) / info.Width,
                                      double(options.height) / info.Height);
        const double side = std::ceil(scale * std::min(info.Width, info.Height));
        return side < std::min(info.Width, info.Height) ? std::max(1, int(side)) : 0;
    } catch (const std::exception&) {
        return 0; // the load itself says what is wrong with the file
    }
}

std::unique_ptr<TPixelGraphic> ConvertedPicture(TPixelGraphic& picture,
                                                const TConvertOptions& options) {
    if (options.originalSize) return PGSnapshot(picture);
    if (options.width <= 0 || options.height <= 0) throw EPixelGraphic("Width = 0 or Height = 0");
    auto out = std::make_unique<TPixelGraphic>();
    out->SetFormat(options.width, options.height, pg24Bit);
    out->SetPaletteIdent(picture.PaletteIdent());
    out->CopyFrom(picture);
    if (options.sharpen) {
        TConvFilter sharpen;
        sharpen.MakeSharpen(dsTent, false, 70, 0.75L);
        auto sharp = std::make_unique<TPixelGraphic>();
        sharp->SetFormat(0, 0, pg24Bit);
        sharp->ApplyFilter(sharpen, *out);
        return sharp;
    }
    return out;
}

void ConvertToFile(TPixelGraphic& picture, const TConvertOptions& options, const QString& target) {
    // The original size writes the picture itself: no copy of a large one.
    std::unique_ptr<TPixelGraphic> resized;
    TPixelGraphic* out = &picture;
    if (!options.originalSize) {
        resized = ConvertedPicture(picture, options);
        out = resized.get();
    }
    const std::string name = QFile::encodeName(target).toStdString();
    if (options.ext == "gif") {
        std::unique_ptr<TPixelGraphic> gif = ConvertGIFPicture(*out);
        if (!WriteGIFFile(name, *gif, options.gifInterlaced, options.gifTransparentColor,
                          options.gifTransparent))
            throw EPixelGraphic("GIF: the picture could not be written (code " +
                                std::to_string(GIFErrorCode) + ")");
        return;
    }
    // A format that cannot hold the colours reduces them without asking.
    const TPGWarningAction asked = out->SaveColorResWarningAction();
    out->SetSaveColorResWarningAction(pgwaIgnore);
    try {
        out->SaveToFile(name);
    } catch (...) {
        out->SetSaveColorResWarningAction(asked);
        throw;
    }
    out->SetSaveColorResWarningAction(asked);
}
