#include "meta/fileprops.h"

#include <QFileInfo>
#include <QLocale>
#include <algorithm>

#include "core/exceptions.h"
#include "core/registry.h"
#include "meta/exif/exiffile.h"

TFileProperties FileProperties(const QString& fileName) {
    TFileProperties p;
    p.FileName = fileName;
    const std::string name = fileName.toStdString();
    // A missing file has no facts at all: nothing of the file shown before
    // may stand under the new name.
    if (!IsRegularFile(name)) return p;
    const QFileInfo fi(fileName);
    p.Found = true;
    p.FileDate = FilePropDateText(fi.lastModified());
    p.FileSize = FilePropSizeText(fi.size());

    std::string type;
    TPGImageInfo info;
    info.GraphicCount = 0;
    try {
        TRegularFileStream f(name);
        p.Recognised = GetImageInfo(f, FileExtensionHint(name), 0, type, info);
    } catch (const Exception&) {
        p.Recognised = false;
    }
    if (p.Recognised) {
        // The JPEG reader is named for JFIF files; a camera's JPEG without a
        // JFIF segment is an EXIF file, and a JPEG with neither is plain JPEG.
        if (type == "JPEG (JFIF compliant)" && info.SubType.rfind("JFIF", 0) != 0) {
            bool exif = false;
            try {
                exif = !ReadExifFileRows(name).empty();
            } catch (const Exception&) {
            }
            type = exif ? "JPEG (EXIF)" : "JPEG";
        }
        p.Type = QString::fromStdString(type);
        p.SubType = QString::fromStdString(info.SubType);
        p.Options = QString::fromStdString(info.Options);
        p.Colors = QString::fromStdString(info.Colors);
        p.Width = info.Width;
        p.Height = info.Height;
        p.BitsPerPixel = info.BitsPerPixel;
        p.GraphicCount = info.GraphicCount;
    }
    p.ShowPreview = p.Recognised && fi.size() < kFilePropPreviewLimit;
    return p;
}

const QStringList& FilePropertyCaptions() {
    static const QStringList c = {"FileName", "File Date", "File Size",    "Type",
                                  "SubType",  "Options",   "Width",        "Height",
                                  "Colors",   "BitsPerPixel", "GraphicCount"};
    return c;
}

QStringList FilePropertyValues(const TFileProperties& p) {
    return {p.FileName,
            p.FileDate,
            p.FileSize,
            p.Type,
            p.SubType,
            p.Options,
            QString::number(p.Width),
            QString::number(p.Height),
            p.Colors,
            QString::number(p.BitsPerPixel),
            QString::number(p.GraphicCount)};
}

QString FilePropDateText(const QDateTime& t) {
    return QLocale::system().toString(t.date(), QLocale::ShortFormat) + t.time().toString(" h:mm AP");
}

QString FilePropSizeText(int64_t bytes) {
    return QString::number(bytes / 1024 + 1) + "K";
}

TRGB FilePropGradientColor(int x, int width) {
    constexpr int start = 140, end = 0;
    if (width <= 0) return RGB(start, 0, 0);
    return RGB(start + x * (end - start) / width, 0, 0);
}

void PaintFilePropBackground(TPixelGraphic& picture, int width, int height) {
    picture.SetFormat(width, height, pg24Bit);
    if (width <= 0 || height <= 0) return;
    // One row made, then copied: every column is one colour.
    uint8_t* first = picture.ScanLine(0);
    for (int x = 0; x < width; ++x) {
        const TRGB c = FilePropGradientColor(x, width);
        first[x * 3 + 0] = uint8_t(GetBValue(c));
        first[x * 3 + 1] = uint8_t(GetGValue(c));
        first[x * 3 + 2] = uint8_t(GetRValue(c));
    }
    for (int y = 1; y < height; ++y) std::copy(first, first + width * 3, picture.ScanLine(y));
}
