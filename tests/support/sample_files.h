#pragma once
// Sample files of every format the preview shows, written with the library's
// own writers where it has one and built byte by byte where it has none
// (PCX, icons, metafiles, clip headers). Each picture shows four quadrants
// of known colours, so a test can tell where and how it was drawn.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/pixelgraphic.h"
#include "formats/gifwrite.h"

namespace samples {

// Quadrant colours: top left, top right, bottom left, bottom right.
inline const TRGB kQuad[4] = {RGB(220, 30, 30), RGB(30, 200, 40), RGB(40, 60, 230),
                              RGB(240, 220, 20)};

inline int QuadrantOf(int x, int y, int w, int h) {
    return (x >= w / 2 ? 1 : 0) + (y >= h / 2 ? 2 : 0);
}

inline void PutBytes(std::vector<uint8_t>& b, uint64_t v, int n) {
    for (int i = 0; i < n; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

inline bool WriteBytes(const QString& path, const std::vector<uint8_t>& b) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    return f.write(reinterpret_cast<const char*>(b.data()), qint64(b.size())) == qint64(b.size());
}

// A quadrant picture; with `palette` an 8-bit picture of four entries.
inline std::unique_ptr<TPixelGraphic> QuadPicture(int w, int h, bool palette = false) {
    auto p = std::make_unique<TPixelGraphic>();
    TPixelGraphic& pg = *p;
    pg.SetFormat(w, h, palette ? pg8Bit : pg24Bit);
    if (palette) {
        pg.SetPaletteCount(256);
        for (int i = 0; i < 256; ++i)
            pg.SetPaletteEntry(i, i < 4 ? kQuad[i] : RGB(0, 0, 0));
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int q = QuadrantOf(x, y, w, h);
            if (palette)
                pg.SetPixel(x, y, q);
            else
                pg.SetPixel(x, y, kQuad[q]);
        }
    return p;
}

// Any format the library writes, by the path's extension.
inline void SaveQuad(const QString& path, int w, int h, bool palette = false) {
    auto pg = QuadPicture(w, h, palette);
    pg->SetSaveColorResWarningAction(pgwaIgnore);
    pg->SaveToFile(QFile::encodeName(path).toStdString());
}

// GIF through the GIF writer; with `frames` > 1 the later frames repeat the
// first with its quadrants turned, as an endless animation.
inline bool WriteQuadGif(const QString& path, int w, int h, int frames = 1) {
    std::vector<uint8_t> first;
    auto pg = QuadPicture(w, h, true);
    if (!EncodeGIF(*pg, false, 0, false, first)) return false;
    if (frames <= 1) return WriteBytes(path, first);
    // Header, screen descriptor and global table end where the first block starts.
    const size_t tableEnd = 13 + ((first[10] & 0x80) ? 3u << ((first[10] & 7) + 1) : 0u);
    std::vector<uint8_t> out(first.begin(), first.begin() + long(tableEnd));
    const uint8_t loop[] = {0x21, 0xFF, 0x0B, 'N', 'E',  'T',  'S',  'C',  'A', 'P',
                            'E',  '2',  '.',  '0', 0x03, 0x01, 0x00, 0x00, 0x00};
    out.insert(out.end(), std::begin(loop), std::end(loop));
    for (int f = 0; f < frames; ++f) {
        std::vector<uint8_t> bytes;
        auto frame = QuadPicture(w, h, true);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                frame->SetPixel(x, y, (QuadrantOf(x, y, w, h) + f) % 4);
        if (!EncodeGIF(*frame, false, 0, false, bytes)) return false;
        // The encoder orders its table by first use: each frame takes its
        // own table along as a local one.
        const size_t frameTableEnd =
            13 + ((bytes[10] & 0x80) ? 3u << ((bytes[10] & 7) + 1) : 0u);
        size_t at = frameTableEnd; // skip the encoder's extensions
        while (at + 2 < bytes.size() && bytes[at] == 0x21) {
            at += 2;
            while (at < bytes.size() && bytes[at] != 0)
                at += bytes[at] + 1u;
            ++at;
        }
        if (at + 10 > bytes.size() || bytes[at] != 0x2C) return false;
        const uint8_t gce[] = {0x21, 0xF9, 0x04, 0x00, 10, 0x00, 0x00, 0x00}; // 0.1 s
        out.insert(out.end(), std::begin(gce), std::end(gce));
        out.insert(out.end(), bytes.begin() + long(at), bytes.begin() + long(at) + 9);
        out.push_back(uint8_t((bytes[10] & 0x80) | (bytes[10] & 7)));
        out.insert(out.end(), bytes.begin() + 13, bytes.begin() + long(frameTableEnd));
        out.insert(out.end(), bytes.begin() + long(at) + 10, bytes.end() - 1); // no trailer
    }
    out.push_back(0x3B);
    return WriteBytes(path, out);
}

// A 24-bit, three-plane, run-length PCX.
inline bool WriteQuadPcx(const QString& path, int w, int h) {
    std::vector<uint8_t> b;
    const int bpl = (w + 1) & ~1;
    b.push_back(10), b.push_back(5), b.push_back(1), b.push_back(8);
    PutBytes(b, 0, 2), PutBytes(b, 0, 2), PutBytes(b, w - 1, 2), PutBytes(b, h - 1, 2);
    PutBytes(b, 72, 2), PutBytes(b, 72, 2);
    b.insert(b.end(), 48, 0);
    b.push_back(0), b.push_back(3);
    PutBytes(b, bpl, 2), PutBytes(b, 1, 2);
    b.insert(b.end(), 128 - b.size(), 0);
    for (int y = 0; y < h; ++y)
        for (int plane = 0; plane < 3; ++plane) {
            std::vector<uint8_t> line(bpl, 0);
            for (int x = 0; x < w; ++x) {
                const TRGB c = kQuad[QuadrantOf(x, y, w, h)];
                line[x] = plane == 0 ? GetRValue(c) : plane == 1 ? GetGValue(c) : GetBValue(c);
            }
            for (int x = 0; x < bpl;) {
                int run = 1;
                while (x + run < bpl && run < 63 && line[x + run] == line[x])
                    ++run;
                if (run > 1 || line[x] >= 0xC0) b.push_back(uint8_t(0xC0 | run));
                b.push_back(line[x]);
                x += run;
            }
        }
    return WriteBytes(path, b);
}

// An 8-bit icon of w x h (8..64), nothing masked.
inline bool WriteQuadIco(const QString& path, int w, int h) {
    std::vector<uint8_t> b;
    const int xorRow = (w + 3) & ~3, andRow = ((w + 31) / 32) * 4;
    const uint32_t size = 40 + 1024 + uint32_t(xorRow + andRow) * uint32_t(h);
    PutBytes(b, 0, 2), PutBytes(b, 1, 2), PutBytes(b, 1, 2);
    b.push_back(uint8_t(w)), b.push_back(uint8_t(h)), b.push_back(0), b.push_back(0);
    PutBytes(b, 1, 2), PutBytes(b, 8, 2), PutBytes(b, size, 4), PutBytes(b, 22, 4);
    PutBytes(b, 40, 4), PutBytes(b, w, 4), PutBytes(b, 2 * h, 4), PutBytes(b, 1, 2);
    PutBytes(b, 8, 2);
    b.insert(b.end(), 24, 0);
    for (int i = 0; i < 256; ++i) {
        const TRGB c = i < 4 ? kQuad[i] : 0;
        b.push_back(GetBValue(c)), b.push_back(GetGValue(c)), b.push_back(GetRValue(c));
        b.push_back(0);
    }
    for (int row = h - 1; row >= 0; --row)
        for (int x = 0; x < xorRow; ++x)
            b.push_back(x < w ? uint8_t(QuadrantOf(x, row, w, h)) : 0);
    b.insert(b.end(), size_t(andRow) * h, 0);
    return WriteBytes(path, b);
}

// A 32-bit icon of w x h (up to 256) with an alpha channel, as desktops use
// today: the quadrants opaque, nothing masked.
inline bool WriteQuadIco32(const QString& path, int w, int h) {
    std::vector<uint8_t> b;
    const int andRow = ((w + 31) / 32) * 4;
    const uint32_t size = 40 + uint32_t(4 * w + andRow) * uint32_t(h);
    PutBytes(b, 0, 2), PutBytes(b, 1, 2), PutBytes(b, 1, 2);
    b.push_back(uint8_t(w & 255)), b.push_back(uint8_t(h & 255)), b.push_back(0), b.push_back(0);
    PutBytes(b, 1, 2), PutBytes(b, 32, 2), PutBytes(b, size, 4), PutBytes(b, 22, 4);
    PutBytes(b, 40, 4), PutBytes(b, w, 4), PutBytes(b, 2 * h, 4), PutBytes(b, 1, 2);
    PutBytes(b, 32, 2);
    b.insert(b.end(), 24, 0);
    for (int row = h - 1; row >= 0; --row)
        for (int x = 0; x < w; ++x) {
            const TRGB c = kQuad[QuadrantOf(x, row, w, h)];
            b.push_back(GetBValue(c)), b.push_back(GetGValue(c)), b.push_back(GetRValue(c));
            b.push_back(255);
        }
    b.insert(b.end(), size_t(andRow) * h, 0);
    return WriteBytes(path, b);
}

// A placeable metafile of `inchW` x `inchH` hundredths of an inch (at 1000
// units per inch; 10 units make them whole inches), the four quadrants as
// solid rectangles without outline.
inline bool WriteQuadWmf(const QString& path, int inchW, int inchH, int unitsPerInch = 1000) {
    const int W = inchW * 10, H = inchH * 10; // 1000 units per inch
    std::vector<std::vector<uint16_t>> recs;
    recs.push_back({0x0103, 8});    // anisotropic mapping
    recs.push_back({0x020B, 0, 0}); // window origin
    recs.push_back({0x020C, uint16_t(H), uint16_t(W)});
    recs.push_back({0x02FA, 5, 0, 0, 0, 0}); // null pen, object 0
    recs.push_back({0x012D, 0});
    for (int q = 0; q < 4; ++q) {
        const TRGB c = kQuad[q];
        recs.push_back({0x02FC, 0, uint16_t(c & 0xFFFF), uint16_t(c >> 16), 0}); // brush, object 1
        recs.push_back({0x012D, 1});
        const int l = q & 1 ? W / 2 : 0, t = q & 2 ? H / 2 : 0;
        // Rectangles leave out their right and bottom edges: reach one beyond.
        recs.push_back(
            {0x041B, uint16_t(t + H / 2 + 1), uint16_t(l + W / 2 + 1), uint16_t(t), uint16_t(l)});
        recs.push_back({0x01F0, 1});
    }
    std::vector<uint8_t> body;
    for (const auto& r : recs) {
        PutBytes(body, 3 + (r.size() - 1), 4);
        for (uint16_t v : r)
            PutBytes(body, v, 2);
    }
    PutBytes(body, 3, 4), PutBytes(body, 0, 2);
    std::vector<uint8_t> b;
    PutBytes(b, 0x9AC6CDD7, 4), PutBytes(b, 0, 2), PutBytes(b, 0, 2), PutBytes(b, 0, 2);
    PutBytes(b, W, 2), PutBytes(b, H, 2), PutBytes(b, unitsPerInch, 2), PutBytes(b, 0, 4);
    uint16_t sum = 0;
    for (size_t i = 0; i < 20; i += 2)
        sum ^= uint16_t(b[i] | b[i + 1] << 8);
    PutBytes(b, sum, 2);
    PutBytes(b, 1, 2), PutBytes(b, 9, 2), PutBytes(b, 0x300, 2);
    PutBytes(b, 9 + body.size() / 2, 4), PutBytes(b, 2, 2), PutBytes(b, 64, 4), PutBytes(b, 0, 2);
    b.insert(b.end(), body.begin(), body.end());
    return WriteBytes(path, b);
}

// The start of an AVI clip: the RIFF form with its header list and main
// header (no streams, no frames).
inline std::vector<uint8_t> AviHeaderBytes(uint32_t w, uint32_t h, bool junkFirst = false) {
    std::vector<uint8_t> avih;
    PutBytes(avih, 40000, 4); // microseconds per frame
    for (int i = 0; i < 7; ++i)
        PutBytes(avih, 0, 4);
    PutBytes(avih, w, 4), PutBytes(avih, h, 4);
    for (int i = 0; i < 4; ++i)
        PutBytes(avih, 0, 4);
    std::vector<uint8_t> list = {'h', 'd', 'r', 'l', 'a', 'v', 'i', 'h'};
    PutBytes(list, avih.size(), 4);
    list.insert(list.end(), avih.begin(), avih.end());
    std::vector<uint8_t> form = {'A', 'V', 'I', ' '};
    if (junkFirst) {
        form.insert(form.end(), {'J', 'U', 'N', 'K'});
        PutBytes(form, 5, 4);
        form.insert(form.end(), {1, 2, 3, 4, 5, 0}); // odd size, padded
    }
    form.insert(form.end(), {'L', 'I', 'S', 'T'});
    PutBytes(form, list.size(), 4);
    form.insert(form.end(), list.begin(), list.end());
    std::vector<uint8_t> b = {'R', 'I', 'F', 'F'};
    PutBytes(b, form.size(), 4);
    b.insert(b.end(), form.begin(), form.end());
    return b;
}

} // namespace samples
