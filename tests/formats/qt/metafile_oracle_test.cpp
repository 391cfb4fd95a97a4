// Metafiles built here, one per record family, rendered by other programs
// (wmf2gd for Windows metafiles, emf2svg-conv + rsvg-convert for enhanced
// ones) and by our player at the same size: the shapes must cover the same
// pixels (intersection over union of the non-background pixels at least
// 0.9) and the large filled areas must have the same colours within 8 levels.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "core/pixelgraphic.h"
#include "formats/qt/metafile_qt.h"
#include "metafile_builders.h"

namespace {
using namespace metatest;

// Picture size of every case: 1000 x 500 units at 250 per inch (WMF) or a
// 4 x 2 inch frame (EMF), 384 x 192 pixels at 96 dpi.
constexpr int kW = 384, kH = 192;

struct Probe {
    double fx, fy; // place as a fraction of the picture
    TRGB color;
};

bool Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000)) return false;
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The oracle's picture on white, or a null image when it could not make one.
QImage Oracle(const std::vector<uint8_t>& bytes, bool enhanced) {
    QTemporaryDir dir;
    const QString in = dir.filePath(enhanced ? "in.emf" : "in.wmf");
    const QString png = dir.filePath("out.png");
    QFile f(in);
    if (!f.open(QIODevice::WriteOnly)) return {};
    f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    f.close();
    if (enhanced) {
        const QString svg = dir.filePath("out.svg");
        if (!Run("emf2svg-conv", {"-i", in, "-o", svg})) return {};
        if (!Run("rsvg-convert",
                 {"-w", QString::number(kW), "-h", QString::number(kH), "-o", png, svg}))
            return {};
    } else {
        if (!Run("wmf2gd", {QString("--maxwidth=%1").arg(kW), QString("--maxheight=%1").arg(kH),
                            "--maxsize", "-o", png, in}))
            return {};
    }
    QImage img(png);
    if (img.isNull()) return {};
    QImage onWhite(img.size(), QImage::Format_RGB32);
    onWhite.fill(Qt::white);
    {
        QPainter painter(&onWhite);
        painter.drawImage(0, 0, img);
    }
    return onWhite.scaled(kW, kH);
}

bool Background(TRGB c) {
    return GetRValue(c) >= 235 && GetGValue(c) >= 235 && GetBValue(c) >= 235;
}
TRGB At(const QImage& img, int x, int y) {
    const QRgb c = img.pixel(x, y);
    return RGB(qRed(c), qGreen(c), qBlue(c));
}
bool Near(TRGB a, TRGB b) {
    return std::abs(int(GetRValue(a)) - int(GetRValue(b))) <= 8 &&
           std::abs(int(GetGValue(a)) - int(GetGValue(b))) <= 8 &&
           std::abs(int(GetBValue(a)) - int(GetBValue(b))) <= 8;
}

struct Case {
    const char* name;
    bool enhanced;
    std::vector<uint8_t> bytes;
    std::vector<Probe> probes;
    // Why the oracle is not asked (it does not play these records); such
    // rows are checked on their probes alone. Null: compared with the oracle.
    const char* oracleLacks = nullptr;
};

void Compare(const Case& c) {
    SCOPED_TRACE(c.name);
    TPixelGraphic ours;
    if (c.enhanced) {
        tEMFFileFormatReader reader;
        ReadMeta(reader, c.bytes, ours);
    } else {
        tWMFFileFormatReader reader;
        ReadMeta(reader, c.bytes, ours);
    }
    ASSERT_EQ(ours.GetWidth(), kW);
    ASSERT_EQ(ours.GetHeight(), kH);
    const QImage theirs = c.oracleLacks ? QImage() : Oracle(c.bytes, c.enhanced);
    // TAV_METAFILE_ORACLE_DUMP=folder keeps the file and both pictures for a look
    // (and as fuzzing seeds).
    if (const char* dump = std::getenv("TAV_METAFILE_ORACLE_DUMP")) {
        QImage mine(kW, kH, QImage::Format_RGB32);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const TRGB p = ours.GetPixelColor(x, y);
                mine.setPixel(x, y, qRgb(GetRValue(p), GetGValue(p), GetBValue(p)));
            }
        const QString base = QDir(dump).filePath(QString(c.name).replace(' ', '_'));
        mine.save(base + "_ours.png");
        QFile file(base + (c.enhanced ? ".emf" : ".wmf"));
        if (file.open(QIODevice::WriteOnly))
            file.write(reinterpret_cast<const char*>(c.bytes.data()), qint64(c.bytes.size()));
        if (!theirs.isNull()) theirs.save(base + "_oracle.png");
    }
    if (c.oracleLacks) {
        for (const Probe& p : c.probes) {
            const int x = int(p.fx * kW), y = int(p.fy * kH);
            EXPECT_TRUE(Near(ours.GetPixelColor(x, y), p.color))
                << "ours at " << x << "," << y << ": " << std::hex << ours.GetPixelColor(x, y);
        }
        return;
    }
    ASSERT_FALSE(theirs.isNull()) << "the oracle did not render it";
    int both = 0, either = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const bool a = !Background(ours.GetPixelColor(x, y)), b = !Background(At(theirs, x, y));
            both += a && b;
            either += a || b;
        }
    ASSERT_GT(either, 0);
    EXPECT_GE(double(both) / either, 0.9) << "shape masks differ";
    for (const Probe& p : c.probes) {
        const int x = int(p.fx * kW), y = int(p.fy * kH);
        EXPECT_TRUE(Near(ours.GetPixelColor(x, y), p.color))
            << "ours at " << x << "," << y << ": " << std::hex << ours.GetPixelColor(x, y);
        EXPECT_TRUE(Near(At(theirs, x, y), p.color))
            << "oracle at " << x << "," << y << ": " << std::hex << At(theirs, x, y);
    }
}

// ---- Windows metafiles: logical 1000 x 500, a solid brush in slot 0 and a
// null pen in slot 1. A white rectangle over everything comes first: wmf2gd
// sizes its picture to what is drawn, not to the header.
Wmf WmfStart(int r, int g, int b) {
    Wmf w;
    w.Rec(0x0103, {8})
        .Rec(0x020B, {0, 0})
        .Rec(0x020C, {500, 1000})
        .Rec(0x02FC, {0, 0xFFFF, 0xFF, 0})
        .Rec(0x012D, {0})
        .Rec(0x02FA, {5, 0, 0, 0, 0})
        .Rec(0x012D, {1})
        .Rec(0x041B, {500, 1000, 0, 0})
        .Rec(0x01F0, {0})
        .Rec(0x02FC, {0, r | g << 8, b, 0})
        .Rec(0x012D, {0});
    return w;
}
std::vector<uint8_t> WmfBytes(const Wmf& w) {
    return w.Build(true, 0, 0, 1000, 500, 250);
}
const std::vector<int> kFull = {500, 1000, 0, 0}; // rectangle b, r, t, l

// A packed 24-bit or RLE8 DIB as 16-bit record words.
std::vector<int> Words(const std::vector<uint8_t>& b) {
    std::vector<int> out;
    for (size_t i = 0; i < b.size(); i += 2)
        out.push_back(b[i] | (i + 1 < b.size() ? b[i + 1] : 0) << 8);
    return out;
}
// STRETCHDIB covering the picture: rop, usage 0, source size, origin, dest.
std::vector<int> StretchDib(uint32_t rop, int sw, int sh, const std::vector<uint8_t>& dib) {
    std::vector<int> p = {int(rop & 0xFFFF), int(rop >> 16), 0, sh, sw, 0, 0, 500, 1000, 0, 0};
    const std::vector<int> w = Words(dib);
    p.insert(p.end(), w.begin(), w.end());
    return p;
}
// 2 x 1 RLE8 DIB: a run of two pixels of colour 1 (the table's second entry).
std::vector<uint8_t> Rle8Dib(TRGB c0, TRGB c1) {
    Bytes b;
    b.u32(40).u32(2).u32(1).u16(1).u16(8).u32(1).u32(6).u32(0).u32(0).u32(2).u32(0);
    b.raw({uint8_t(GetBValue(c0)), uint8_t(GetGValue(c0)), uint8_t(GetRValue(c0)), 0});
    b.raw({uint8_t(GetBValue(c1)), uint8_t(GetGValue(c1)), uint8_t(GetRValue(c1)), 0});
    b.raw({1, 1, 1, 0, 0, 1}); // one of colour 1, one of colour 0, end of bitmap
    return b.b;
}
std::vector<uint8_t> Dib24(TRGB c) {
    Bytes b;
    b.u32(40).u32(1).u32(1).u16(1).u16(24).u32(0).u32(4).u32(0).u32(0).u32(0).u32(0);
    b.raw({uint8_t(GetBValue(c)), uint8_t(GetGValue(c)), uint8_t(GetRValue(c)), 0});
    return b.b;
}

TEST(MetafileOracle, WindowsMetafileRecordFamilies) {
    const TRGB red = RGB(255, 0, 0), blue = RGB(0, 0, 255), white = RGB(255, 255, 255);
    std::vector<Case> cases;
    cases.push_back(
        {"IntersectClipRect",
         false,
         WmfBytes(WmfStart(255, 0, 0).Rec(0x0416, {400, 800, 100, 200}).Rec(0x041B, kFull)),
         {{0.5, 0.5, red}, {0.1, 0.5, white}, {0.5, 0.1, white}}});
    cases.push_back(
        {"ExcludeClipRect",
         false,
         WmfBytes(WmfStart(0, 0, 255).Rec(0x0415, {400, 750, 100, 250}).Rec(0x041B, kFull)),
         {{0.5, 0.5, white}, {0.1, 0.5, blue}, {0.5, 0.1, blue}},
         "wmf2gd ignores ExcludeClipRect"});
    // Clipped to the left half while saved; the restored state draws the
    // bottom strip across the whole width.
    cases.push_back({"SaveDC and RestoreDC with clip",
                     false,
                     WmfBytes(WmfStart(255, 0, 0)
                                  .Rec(0x001E, {})
                                  .Rec(0x0416, {500, 500, 0, 0})
                                  .Rec(0x0418, {400, 1000, 0, 0})
                                  .Rec(0x0127, {int(uint16_t(-1))})
                                  .Rec(0x041B, {500, 1000, 420, 0})),
                     {{0.25, 0.4, red}, {0.75, 0.4, white}, {0.9, 0.92, red}},
                     "wmf2gd loses the ellipse drawn under the saved clip"});
    cases.push_back({"OffsetClipRgn",
                     false,
                     WmfBytes(WmfStart(0, 0, 255)
                                  .Rec(0x0416, {200, 300, 0, 0})
                                  .Rec(0x0220, {200, 400})
                                  .Rec(0x041B, kFull)),
                     {{0.55, 0.6, blue}, {0.15, 0.2, white}},
                     "wmf2gd moves the clip by the wrong vertical amount"});
    // A region of one scan with two pieces, selected as the clip.
    cases.push_back({"CreateRegion and SelectClipRgn",
                     false,
                     WmfBytes(WmfStart(255, 0, 0)
                                  .Rec(0x06FF, {0, 6, 0, 0, 38, 1, 4, 100, 100, 900, 400, 4, 100,
                                                400, 100, 300, 600, 900, 4})
                                  .Rec(0x012C, {2})
                                  .Rec(0x041B, kFull)),
                     {{0.2, 0.5, red}, {0.75, 0.5, red}, {0.45, 0.5, white}, {0.2, 0.1, white}},
                     "wmf2gd ignores region clips"});
    // Two squares, the second with a hole (alternate filling).
    cases.push_back(
        {"PolyPolygon",
         false,
         WmfBytes(WmfStart(0, 0, 255).Rec(0x0538, {3,   4,   4,   4,   50,  50,  400, 50,  400, 450,
                                                   50,  450, 550, 50,  950, 50,  950, 450, 550, 450,
                                                   650, 150, 850, 150, 850, 350, 650, 350})),
         {{0.1, 0.5, blue}, {0.6, 0.2, blue}, {0.75, 0.5, white}}});
    // Chord and pie of the full ellipse from the right end (0 degrees)
    // counter-clockwise to the top (90): a quarter slice / a segment.
    cases.push_back(
        {"Pie",
         false,
         WmfBytes(WmfStart(255, 0, 0).Rec(0x081A, {0, 500, 250, 1000, 500, 1000, 0, 0})),
         {{0.7, 0.3, red}, {0.3, 0.3, white}, {0.7, 0.7, white}}});
    cases.push_back(
        {"Chord",
         false,
         WmfBytes(WmfStart(255, 0, 0).Rec(0x0830, {0, 500, 250, 1000, 500, 1000, 0, 0})),
         {{0.85, 0.24, red}, {0.6, 0.4, white}, {0.3, 0.3, white}},
         "wmf2gd fills the triangle on the other side of the chord line"});
    // An RLE8 bitmap: red left half, blue right half.
    cases.push_back({"StretchDIB RLE8",
                     false,
                     WmfBytes(WmfStart(255, 0, 0).Rec(
                         0x0F43, StretchDib(0x00CC0020, 2, 1, Rle8Dib(blue, red)))),
                     {{0.25, 0.5, red}, {0.75, 0.5, blue}},
                     "wmf2gd draws no RLE bitmaps"});
    // Yellow AND cyan: green.
    cases.push_back(
        {"StretchDIB SRCAND",
         false,
         WmfBytes(WmfStart(255, 255, 0)
                      .Rec(0x041B, kFull)
                      .Rec(0x0F43, StretchDib(0x008800C6, 1, 1, Dib24(RGB(0, 255, 255))))),
         {{0.5, 0.5, RGB(0, 255, 0)}},
         "wmf2gd copies whatever the raster operation"});
    // Red, then the left half inverted by a destination-only blit: cyan.
    cases.push_back({"DIBBITBLT DSTINVERT",
                     false,
                     WmfBytes(WmfStart(255, 0, 0)
                                  .Rec(0x041B, kFull)
                                  .Rec(0x0940, {0x0009, 0x0055, 0, 0, 0, 500, 500, 0, 0})),
                     {{0.25, 0.5, RGB(0, 255, 255)}, {0.75, 0.5, red}},
                     "wmf2gd skips blits without a bitmap"});
    // Binary raster operations of the brush over a red picture, on the left half.
    struct Rop2Case {
        const char* name;
        int rop2;
        TRGB brush, left;
    };
    for (const Rop2Case& r : {Rop2Case{"SetROP2 NOT", 6, blue, RGB(0, 255, 255)},
                              Rop2Case{"SetROP2 XORPEN", 7, RGB(255, 255, 0), RGB(0, 255, 0)},
                              Rop2Case{"SetROP2 MERGEPEN", 15, blue, RGB(255, 0, 255)},
                              Rop2Case{"SetROP2 MASKPEN", 9, RGB(255, 255, 0), red},
                              Rop2Case{"SetROP2 NOTCOPYPEN", 4, blue, RGB(255, 255, 0)}})
        cases.push_back(
            {r.name,
             false,
             WmfBytes(WmfStart(255, 0, 0)
                          .Rec(0x041B, kFull)
                          .Rec(0x0104, {r.rop2})
                          .Rec(0x02FC, {0, int(r.brush & 0xFFFF), int(r.brush >> 16), 0})
                          .Rec(0x012D, {2})
                          .Rec(0x041B, {500, 500, 0, 0})),
             {{0.25, 0.5, r.left}, {0.75, 0.5, red}},
             "wmf2gd draws every pen and brush as a copy"});
    for (const Case& c : cases)
        Compare(c);
}

// ---- Enhanced metafiles: logical units are 0.01 mm, the frame 4 x 2 inches.
constexpr int kEW = 10160, kEH = 5080;
Emf EmfStart(TRGB fill) {
    Emf e;
    e.Rec(39, I32s({1, 0, fill, 0})).Rec(37, I32s({1})).Rec(37, I32s({0x80000008}));
    return e;
}
std::vector<uint8_t> Points16(std::vector<int> xy) {
    Bytes b;
    for (int v : xy)
        b.u16(v);
    return b.b;
}
std::vector<uint8_t> Poly16(const std::vector<int>& xy) {
    std::vector<uint8_t> out = I32s({0, 0, 0, 0, int64_t(xy.size() / 2)});
    const std::vector<uint8_t> pts = Points16(xy);
    out.insert(out.end(), pts.begin(), pts.end());
    return out;
}
const std::vector<int64_t> kEFull = {0, 0, kEW, kEH};

TEST(MetafileOracle, EnhancedMetafileRecordFamilies) {
    const TRGB red = RGB(255, 0, 0), blue = RGB(0, 0, 255), white = RGB(255, 255, 255);
    std::vector<Case> cases;
    cases.push_back(
        {"POLYGON16",
         true,
         EmfStart(red).Rec(86, Poly16({500, 500, 9660, 500, 5080, 4580})).Build(kEW, kEH),
         {{0.5, 0.3, red}, {0.1, 0.8, white}}});
    {
        std::vector<uint8_t> pp = I32s({0, 0, 0, 0, 2, 8, 4, 4});
        const std::vector<uint8_t> pts = Points16({500, 500, 4500, 500, 4500, 4500, 500, 4500, 5500,
                                                   500, 9500, 500, 9500, 4500, 5500, 4500});
        pp.insert(pp.end(), pts.begin(), pts.end());
        cases.push_back({"POLYPOLYGON16",
                         true,
                         EmfStart(blue).Rec(91, pp).Build(kEW, kEH),
                         {{0.25, 0.5, blue}, {0.75, 0.5, blue}, {0.5, 0.5, white}}});
    }
    // A wide geometric pen with flat ends along a horizontal line.
    {
        Emf e;
        e.Rec(95, I32s({1, 0, 0, 0, 0, 0x10200, 1000, 0, blue, 0, 0}))
            .Rec(37, I32s({1}))
            .Rec(87, Poly16({1000, 2540, 9160, 2540}));
        cases.push_back({"EXTCREATEPEN and POLYLINE16",
                         true,
                         e.Build(kEW, kEH),
                         {{0.5, 0.5, blue}, {0.05, 0.5, white}, {0.5, 0.1, white}}});
    }
    // A pen of its own dashes: 1000 units drawn, 1000 left out.
    {
        Emf e;
        e.Rec(95, I32s({1, 0, 0, 0, 0, 0x10207, 300, 0, blue, 0, 2, 1000, 1000}))
            .Rec(37, I32s({1}))
            .Rec(87, Poly16({0, 2540, kEW, 2540}));
        cases.push_back({"EXTCREATEPEN user style",
                         true,
                         e.Build(kEW, kEH),
                         {{0.05, 0.5, blue},
                          {0.15, 0.5, white},
                          {0.25, 0.5, blue},
                          {0.35, 0.5, white},
                          {0.5, 0.3, white}},
                         "emf2svg-conv draws user-styled pens solid"});
    }
    cases.push_back({"INTERSECTCLIPRECT",
                     true,
                     EmfStart(red)
                         .Rec(30, I32s({2000, 1000, 8000, 4000}))
                         .Rec(43, I32s(kEFull))
                         .Build(kEW, kEH),
                     {{0.5, 0.5, red}, {0.1, 0.5, white}, {0.5, 0.1, white}}});
    cases.push_back({"EXCLUDECLIPRECT",
                     true,
                     EmfStart(blue)
                         .Rec(29, I32s({2000, 1000, 8000, 4000}))
                         .Rec(43, I32s(kEFull))
                         .Build(kEW, kEH),
                     {{0.5, 0.5, white}, {0.1, 0.5, blue}},
                     "emf2svg-conv treats an excluded rectangle as an intersected one"});
    cases.push_back({"SAVEDC and RESTOREDC with clip",
                     true,
                     EmfStart(red)
                         .Rec(33, {})
                         .Rec(30, I32s({0, 0, 5080, 5080}))
                         .Rec(42, I32s({0, 0, kEW, 4000}))
                         .Rec(34, I32s({-1}))
                         .Rec(43, I32s({0, 4200, kEW, kEH}))
                         .Build(kEW, kEH),
                     {{0.25, 0.4, red}, {0.75, 0.4, white}, {0.9, 0.92, red}}});
    cases.push_back({"SELECTCLIPPATH of a rectangle",
                     true,
                     EmfStart(red)
                         .Rec(59, {})
                         .Rec(43, I32s({2000, 1000, 8000, 4000}))
                         .Rec(60, {})
                         .Rec(67, I32s({5}))
                         .Rec(43, I32s(kEFull))
                         .Build(kEW, kEH),
                     {{0.5, 0.5, red}, {0.1, 0.5, white}, {0.5, 0.1, white}},
                     "emf2svg-conv writes broken SVG for a rectangle inside a path"});
    // A triangle: the clip follows its slanted sides, pixel row by row.
    cases.push_back({"SELECTCLIPPATH of a triangle",
                     true,
                     EmfStart(red)
                         .Rec(59, {})
                         .Rec(27, I32s({500, 4500}))
                         .Rec(89, Poly16({5080, 500, 9660, 4500}))
                         .Rec(61, {})
                         .Rec(60, {})
                         .Rec(67, I32s({5}))
                         .Rec(43, I32s(kEFull))
                         .Build(kEW, kEH),
                     {{0.5, 0.6, red},
                      {0.5, 0.15, red},
                      {0.2, 0.2, white},
                      {0.8, 0.2, white},
                      {0.5, 0.95, white}},
                     "emf2svg-conv writes broken SVG for a clip path"});
    // The left 60 % xor the right 60 %: both ends, not the middle.
    cases.push_back({"EXTSELECTCLIPRGN xor",
                     true,
                     EmfStart(red)
                         .Rec(30, I32s({0, 0, 6096, kEH}))
                         .Rec(75, I32s({48, 3, 32, 1, 1, 16, 4064, 0, kEW, kEH, 4064, 0, kEW, kEH}))
                         .Rec(43, I32s(kEFull))
                         .Build(kEW, kEH),
                     {{0.2, 0.5, red}, {0.5, 0.5, white}, {0.8, 0.5, red}},
                     "emf2svg-conv ignores region clips"});
    // A filled path along a cubic curve: an arch.
    cases.push_back({"POLYBEZIERTO16 in a path",
                     true,
                     EmfStart(blue)
                         .Rec(59, {})
                         .Rec(27, I32s({500, 4500}))
                         .Rec(88, Poly16({500, 0, 9660, 0, 9660, 4500}))
                         .Rec(61, {})
                         .Rec(60, {})
                         .Rec(62, I32s({0, 0, 0, 0}))
                         .Build(kEW, kEH),
                     {{0.5, 0.6, blue}, {0.03, 0.1, white}, {0.5, 0.95, white}}});
    // A horizontal gradient from red to blue over the frame.
    {
        std::vector<uint8_t> g = I32s({0, 0, kEW, kEH, 2, 1, 0});
        Bytes v;
        v.u32(0).u32(0).u16(0xFF00).u16(0).u16(0).u16(0);
        v.u32(kEW).u32(kEH).u16(0).u16(0).u16(0xFF00).u16(0);
        v.u32(0).u32(1);
        g.insert(g.end(), v.b.begin(), v.b.end());
        cases.push_back({"GRADIENTFILL",
                         true,
                         Emf().Rec(118, g).Build(kEW, kEH),
                         {{0.02, 0.5, red}, {0.5, 0.5, RGB(128, 0, 128)}, {0.98, 0.5, blue}},
                         "emf2svg-conv draws no gradient fills"});
    }
    // Half-transparent blue blended over red.
    {
        Bytes ab;
        ab.u32(0).u32(0).u32(kEW).u32(kEH).u32(0).u32(0).u32(kEW).u32(kEH);
        ab.raw({0, 0, 128, 0}).u32(0).u32(0);
        ab.u32(0x3F800000).u32(0).u32(0).u32(0x3F800000).u32(0).u32(0);
        ab.u32(0).u32(0).u32(108).u32(40).u32(148).u32(4).u32(1).u32(1);
        ab.u32(40).u32(1).u32(1).u16(1).u16(32).u32(0).u32(4).u32(0).u32(0).u32(0).u32(0);
        ab.raw({255, 0, 0, 255});
        cases.push_back({"ALPHABLEND",
                         true,
                         EmfStart(red).Rec(43, I32s(kEFull)).Rec(114, ab.b).Build(kEW, kEH),
                         {{0.5, 0.5, RGB(127, 0, 128)}},
                         "emf2svg-conv skips ALPHABLEND"});
    }
    // STRETCHDIBITS of a 2 x 1 RLE8 bitmap over the whole frame.
    {
        const std::vector<uint8_t> dib = Rle8Dib(blue, red);
        Bytes sd;
        sd.u32(0).u32(0).u32(kEW).u32(kEH);
        sd.u32(0).u32(0).u32(0).u32(0).u32(2).u32(1);
        sd.u32(80).u32(48).u32(128).u32(int64_t(dib.size()) - 48).u32(0).u32(0x00CC0020);
        sd.u32(kEW).u32(kEH);
        sd.raw(dib);
        while (sd.b.size() % 4)
            sd.b.push_back(0);
        cases.push_back({"STRETCHDIBITS RLE8",
                         true,
                         Emf().Rec(81, sd.b).Build(kEW, kEH),
                         {{0.25, 0.5, red}, {0.75, 0.5, blue}},
                         "emf2svg-conv drops RLE bitmaps"});
    }
    for (const Case& c : cases)
        Compare(c);
}

} // namespace
