#pragma once
// Files for the meta tests: a scratch folder, JPEG files made by the image
// library (with an EXIF block put in when asked), and files of given sizes.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <ostream>
#include <vector>

#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/library.h"

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

inline void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

// A small JPEG from the library; `exif` (a TIFF block) goes into an EXIF
// segment right after the start marker; `size` pads the file after its end
// marker (readers stop at the end marker).
inline QByteArray MakeJpeg(int width, int height, const std::vector<uint8_t>& exif = {},
                           qint64 size = 0) {
    InitImageLibrary();
    TPixelGraphic g;
    g.SetFormat(width, height, pg24Bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) g.SetPixel(x, y, RGB(x * 7, y * 5, 90));
    TMemoryStream s;
    g.SaveToStreamExt(s, "jpg");
    QByteArray jpeg(reinterpret_cast<const char*>(s.Data().data()), qsizetype(s.Data().size()));
    if (!exif.empty()) {
        const int len = int(exif.size()) + 8;
        QByteArray seg("\xFF\xE1", 2);
        seg.append(char(len >> 8)).append(char(len & 255)).append("Exif\0\0", 6);
        seg.append(reinterpret_cast<const char*>(exif.data()), qsizetype(exif.size()));
        jpeg.insert(2, seg);
    }
    if (size > jpeg.size()) jpeg.append(QByteArray(size - jpeg.size(), '\0'));
    return jpeg;
}
