#include <algorithm>
#include <cstring>
#include <vector>

#include "core/exceptions.h"
#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/prompts.h"
#include "formats/inbuffer.h"
#include "formats/tiff.h"
#include "formats/tifflib.h"

std::atomic<bool> TIFFMultiPage{false};

namespace {

[[noreturn]] void Fail(const std::string& text) { throw EPGTIFFileFormatReader("TIFF: " + text); }

struct TIFFDirectory {
    int64_t base = 0; // stream position of the header; offsets count from it
    bool bigEndian = false;
    uint32_t width = 0, length = 0;
    // Tags a file may omit read as the format's defaults: writers routinely
    // leave out Compression (none), SamplesPerPixel (1), BitsPerSample (1
    // per sample) and PlanarConfiguration (contiguous).
    uint32_t compression = 1, photometric = 0, samples = 1, rowsPerStrip = 0, planar = 1;
    bool hasBits = false;
    bool tiled = false; // TileWidth, TileLength, TileOffsets or TileByteCounts present
    std::vector<uint32_t> bits, stripOffsets, stripByteCounts, colorMap;
};

class TTIFFParser {
public:
    explicit TTIFFParser(bool bigEndian) : be_(bigEndian) {}
    uint32_t U16(const uint8_t* p) const { return be_ ? (p[0] << 8) | p[1] : p[0] | (p[1] << 8); }
    uint32_t U32(const uint8_t* p) const {
        return be_ ? (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]
                   : uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                         (uint32_t(p[3]) << 24);
    }

private:
    bool be_;
};

int TypeSize(uint32_t type) { return type == 1 ? 1 : type == 3 ? 2 : type == 4 ? 4 : 0; }

const char* TagName(uint32_t tag) {
    switch (tag) {
    case 258:
        return "BitsPerSample";
    case 273:
        return "StripOffsets";
    case 279:
        return "StripByteCounts";
    default:
        return "ColorMap";
    }
}

// Stream position of the directory after the one at `dirPos`, or 0 at the
// end of the chain (also when the chain leaves the file or turns back, so a
// looping file ends instead of running on).
int64_t NextDirectory(TStream& s, const TTIFFParser& p, int64_t base, int64_t dirPos, int64_t size) {
    uint8_t cnt[2];
    s.SetPosition(dirPos);
    if (s.Read(cnt, 2) != 2) return 0;
    const int64_t at = dirPos + 2 + int64_t(p.U16(cnt)) * 12;
    uint8_t off[4];
    if (at + 4 > size) return 0;
    s.SetPosition(at);
    if (s.Read(off, 4) != 4) return 0;
    const int64_t next = base + p.U32(off);
    return next > dirPos && next + 2 <= size ? next : 0;
}

TIFFDirectory ParseDirectory(TStream& s, int imageIndex) {
    TIFFDirectory d;
    d.base = s.Position();
    const int64_t size = s.Size();
    uint8_t h[8];
    if (s.Read(h, 8) != 8) Fail("Not a TIF file");
    if (h[0] == 'I' && h[1] == 'I')
        d.bigEndian = false;
    else if (h[0] == 'M' && h[1] == 'M')
        d.bigEndian = true;
    else
        Fail("Not a TIF file");
    const TTIFFParser p(d.bigEndian);
    if (p.U16(h + 2) != 42) Fail("Not a TIF file");
    if (imageIndex < 0) Fail(PGMessage(7, "Index"));

    int64_t dirPos = d.base + p.U32(h + 4);
    if (dirPos + 2 > size) Fail(PGMessage(32));
    // Later pages: follow the chain of directories to the one asked for.
    for (int page = 0; page < imageIndex; ++page) {
        const int64_t next = NextDirectory(s, p, d.base, dirPos, size);
        if (next == 0) Fail(PGMessage(7, "Index"));
        dirPos = next;
    }
    s.SetPosition(dirPos);
    uint8_t cnt[2];
    s.ReadBuffer(cnt, 2);
    const int n = int(p.U16(cnt));
    if (dirPos + 2 + int64_t(n) * 12 > size) Fail(PGMessage(32));
    std::vector<uint8_t> entries(size_t(n) * 12);
    s.ReadBuffer(entries.data(), int64_t(entries.size()));

    for (int i = 0; i < n; ++i) {
        const uint8_t* e = entries.data() + size_t(i) * 12;
        const uint32_t tag = p.U16(e), type = p.U16(e + 2), count = p.U32(e + 4);
        const uint8_t* v = e + 8;
        auto single = [&]() -> uint32_t {
            switch (type) {
            case 1:
                return v[0];
            case 3:
                return p.U16(v);
            case 4:
                return p.U32(v);
            default:
                Fail("Unsupported field Type: " + std::to_string(type));
            }
        };
        auto array = [&](std::vector<uint32_t>& out) {
            const int ts = TypeSize(type);
            if (ts == 0) Fail("Unsupported field Type: " + std::to_string(type));
            const int64_t bytes = int64_t(count) * ts;
            std::vector<uint8_t> raw;
            const uint8_t* src = v;
            if (bytes > 4) {
                // A count the file cannot hold is refused before anything is
                // allocated for it.
                const int64_t at = d.base + p.U32(v);
                if (at + bytes > size) Fail(PGMessage(27, TagName(tag)));
                raw.resize(size_t(bytes));
                s.SetPosition(at);
                s.ReadBuffer(raw.data(), bytes);
                src = raw.data();
            }
            out.resize(count);
            for (uint32_t k = 0; k < count; ++k)
                out[k] = ts == 1 ? src[k] : ts == 2 ? p.U16(src + 2 * k) : p.U32(src + 4 * k);
        };
        switch (tag) {
        case 254:
            (void)single();
            break;
        case 256:
            d.width = single();
            break;
        case 257:
            d.length = single();
            break;
        case 258:
            array(d.bits);
            d.hasBits = true;
            break;
        case 259:
            d.compression = single();
            break;
        case 262:
            d.photometric = single();
            break;
        case 273:
            array(d.stripOffsets);
            break;
        case 277:
            d.samples = single();
            break;
        case 278:
            d.rowsPerStrip = single();
            break;
        case 279:
            array(d.stripByteCounts);
            break;
        case 284:
            d.planar = single();
            break;
        case 320:
            array(d.colorMap);
            break;
        case 322:
        case 323:
        case 324:
        case 325:
            d.tiled = true;
            break;
        default:
            break;
        }
    }

    // One default depth per sample; a count past what the tag can hold (a
    // SHORT) is no picture anyway and must not size an allocation.
    if (!d.hasBits) d.bits.assign(std::min<uint32_t>(d.samples, 65535), 1);
    return d;
}

// Why our own reader does not read the directory (its refusal, the text it
// always gave), or "" when it reads it. What it refuses for compression,
// sample layout, bit depth, tiles or colour model goes to libtiff; the
// other faults of a file stay this reader's own errors.
std::string OwnRefusal(const TIFFDirectory& d) {
    if (d.tiled) return "Tiled";
    if (d.planar > 1) return PGMessage(7, "PlanarConfiguration");
    if (d.samples != 1 && d.samples != 3 && d.samples != 4) return "Invalid SamplesPerPixel";
    if (d.bits.size() != d.samples) Fail("Invalid count of SamplesPerPixel");
    const bool ok = d.samples == 1 ? d.bits[0] == 1 || d.bits[0] == 4 || d.bits[0] == 8
                                   : std::all_of(d.bits.begin(), d.bits.end(),
                                                 [](uint32_t b) { return b == 8; });
    if (!ok) return "Invalid SamplesPerPixel";
    if (d.compression != 1 && d.compression != 32773) return "Unsupported compression";
    if (d.samples == 1 && d.bits[0] > 1 && d.photometric > 1 && d.photometric != 3)
        return "Unsupported photometric";
    if (d.samples > 1 && d.photometric != 2 && !(d.samples == 4 && d.photometric == 5))
        return "Unsupported photometric";
    if (d.rowsPerStrip == 0 && d.stripOffsets.size() != 1) Fail("Invalid RowsPerStrip");
    return "";
}

// The metadata of the file's first directory: its ICC profile (tag 34675),
// and its descriptive tags with the Exif and GPS directories as an EXIF
// block. Unreadable metadata is left out; the pixels do not depend on it.
TPGMetadata MetadataOf(TStream& s, int64_t base) {
    TPGMetadata meta;
    const int64_t size = s.Size() - base;
    if (size <= 0) return meta;
    TExifDirectories dirs;
    const bool ok = ReadExifDirectories(
        [&](uint64_t offset, size_t n, uint8_t* out) {
            if (offset > uint64_t(size) || n > uint64_t(size) - offset) return false;
            s.SetPosition(base + int64_t(offset));
            return s.Read(out, int64_t(n)) == int64_t(n);
        },
        uint64_t(size), dirs);
    if (!ok) return meta;
    meta.ICC = std::move(dirs.ICC);
    meta.Exif = BuildExifBlock(dirs);
    return meta;
}

// Decodes one PackBits row of `n` bytes.
void UnpackRow(TInputBuffer<EPGTIFFileFormatReader>& in, uint8_t* row, int64_t n, int y) {
    int64_t filled = 0;
    while (filled < n) {
        const int c = int8_t(in.Get());
        if (c >= 0) {
            if (filled + c + 1 > n)
                throw EPGTIFFileFormatReader("TIFF (PackBits): Invalid count of bytes in row " +
                                             std::to_string(y));
            in.Take(row + filled, c + 1);
            filled += c + 1;
        } else if (c != -128) {
            if (filled + 1 - c > n)
                throw EPGTIFFileFormatReader("TIFF (PackBits): Invalid count of bytes in row " +
                                             std::to_string(y));
            std::memset(row + filled, in.Get(), size_t(1 - c));
            filled += 1 - c;
        }
    }
}

} // namespace

bool TTIFFileFormatReader::CheckSignature(const uint8_t* h, int size) {
    return size >= 4 && ((h[0] == 'I' && h[1] == 'I' && h[2] == 42 && h[3] == 0) ||
                         (h[0] == 'M' && h[1] == 'M' && h[2] == 0 && h[3] == 42));
}

void TTIFFileFormatReader::Read(TStream& stream, TPixelGraphic& picture, int imageIndex) {
    TIFFDirectory d = ParseDirectory(stream, imageIndex);
    if (!OwnRefusal(d).empty()) {
        ReadTIFFThroughLibrary(stream, d.base, picture, imageIndex, this);
        return;
    }
    switch (d.compression) {
    case 1:
    case 32773:
        break;
    case 2:
        Fail("Unsupported compression CCITT 1D");
    case 3:
        Fail("Unsupported compression Group 3 Fax");
    case 4:
        Fail("Unsupported compression Group 4 Fax");
    case 5:
        Fail("Unsupported compression LZW");
    case 6:
        Fail("Unsupported compression JPEG");
    default:
        Fail("Unsupported compression " + std::to_string(d.compression));
    }
    // Sizes beyond 31 bits cannot be a picture; an empty one has no strips.
    if (d.width == 0 || d.width > INT32_MAX) Fail(PGMessage(20, "ImageWidth"));
    if (d.length == 0 || d.length > INT32_MAX) Fail(PGMessage(20, "ImageLength"));
    // RowsPerStrip is often 2^32 - 1 ("one strip"): the arithmetic runs in
    // 64 bits with the value clamped to the image length.
    int64_t rowsPerStrip = d.rowsPerStrip == 0 ? d.length : std::min<int64_t>(d.rowsPerStrip, d.length);
    const int64_t expected = (int64_t(d.length) + rowsPerStrip - 1) / rowsPerStrip;
    if (int64_t(d.stripOffsets.size()) != expected) {
        const std::string text = "TIFF: NumStripOffsets<>(ImageLength+RowsPerStrip-1) div RowsPerStrip";
        if (d.stripOffsets.size() != 1) throw EPGTIFFileFormatReader(text);
        switch (picture.ReadWarningAction()) {
        case pgwaIgnore:
            break;
        case pgwaOKBox:
            PGMessageBox(text, "TIFF-Warning", TPGBoxButtons::OK);
            break;
        case pgwaOKCancelBox:
            if (PGMessageBox(text, "TIFF-Warning", TPGBoxButtons::OKCancel) != TPGBoxResult::OK)
                throw EPGTIFFileFormatReader(text);
            break;
        default:
            throw EPGTIFFileFormatReader(text);
        }
        rowsPerStrip = d.length;
    }

    const int width = int(d.width), height = int(d.length);
    const int samples = int(d.samples), bits = int(d.bits[0]);
    const int photometric = int(d.photometric);
    TPGPixelFormat format = samples > 1 ? pg24Bit : bits == 1 ? pg1Bit : bits == 4 ? pg4Bit : pg8Bit;
    if (format == pg4Bit && photometric > 1 && photometric != 3) Fail("Unsupported 4 Bits/Pixel");
    if (format == pg8Bit && photometric > 1 && photometric != 3) Fail("Unsupported 8 Bits/Pixel");
    // Colour samples are only read as what they are: RGB, or CMYK with four.
    if (samples > 1 && photometric != 2 && !(samples == 4 && photometric == 5))
        Fail("Unsupported photometric interpretation " + std::to_string(photometric));
    const bool paletted = (format == pg4Bit || format == pg8Bit) && photometric == 3;
    // A palette picture needs its colour map: every index gets an entry
    // (entries the map lacks are black), and a map longer than the index
    // range gives only the entries an index can reach.
    std::vector<TRGB> palette;
    if (paletted) {
        const size_t n = d.colorMap.size() / 3;
        if (n == 0) Fail(PGMessage(20, "ColorMap"));
        const size_t entries = size_t(1) << bits;
        palette.assign(entries, RGB(0, 0, 0));
        for (size_t i = 0; i < std::min(n, entries); ++i)
            palette[i] = RGB(d.colorMap[i] / 256, d.colorMap[n + i] / 256, d.colorMap[2 * n + i] / 256);
    }

    const int64_t rowSize = (int64_t(bits) * samples * width + 7) / 8;
    // A strip must lie in the file and be long enough for its rows (PackBits
    // packs at most 128 bytes into 2): nothing is allocated for a picture
    // the file cannot hold.
    const int64_t size = stream.Size();
    const int ratio = d.compression == 32773 ? 64 : 1;
    auto checkStrip = [&](size_t strip, int64_t rows) {
        const int64_t at = d.base + d.stripOffsets[strip];
        if (at >= size || (size - at) * ratio < rows * rowSize) Fail(PGMessage(32));
        return at;
    };
    checkStrip(0, std::min<int64_t>(rowsPerStrip, height));

    picture.SetGamma(DisplayGamma);
    picture.SetFormat(width, height, format);
    picture.SetMetadata(MetadataOf(stream, d.base));
    if (format == pg1Bit) picture.SetPaletteIdent(pBlackWhite);
    if (!paletted && format == pg4Bit) picture.SetPaletteIdent(pGray16);
    if (!paletted && format == pg8Bit) picture.SetPaletteIdent(pGray256);
    if (paletted) {
        picture.SetPaletteCount(int(palette.size()));
        for (size_t i = 0; i < palette.size(); ++i) picture.SetPaletteEntry(int(i), palette[i]);
    }

    TPGProgressScope progress(picture, this);
    TInputBuffer<EPGTIFFileFormatReader> in(stream, "TIFF: " + PGMessage(32));
    std::vector<uint8_t> raw(static_cast<size_t>(rowSize));
    const bool invert = photometric == 0;
    for (int y = 0; y < height; ++y) {
        if (y % rowsPerStrip == 0) {
            const size_t strip = size_t(y / rowsPerStrip);
            stream.SetPosition(checkStrip(strip, std::min<int64_t>(rowsPerStrip, height - y)));
            in.Reset();
        }
        uint8_t* row = picture.ScanLine(y);
        uint8_t* dst = samples == 1 ? row : raw.data();
        if (d.compression == 32773)
            UnpackRow(in, dst, rowSize, y);
        else
            in.Take(dst, rowSize);
        if (samples == 1) {
            if (invert)
                for (int64_t i = 0; i < rowSize; ++i) row[i] = uint8_t(~row[i]);
        } else if (samples == 3) {
            for (int x = 0; x < width; ++x) {
                row[3 * x] = raw[size_t(3 * x + 2)];
                row[3 * x + 1] = raw[size_t(3 * x + 1)];
                row[3 * x + 2] = raw[size_t(3 * x)];
            }
        } else if (photometric == 2) {
            for (int x = 0; x < width; ++x) {
                row[3 * x] = raw[size_t(4 * x + 2)];
                row[3 * x + 1] = raw[size_t(4 * x + 1)];
                row[3 * x + 2] = raw[size_t(4 * x)];
            }
        } else {
            for (int x = 0; x < width; ++x) {
                const uint8_t* q = raw.data() + 4 * x;
                const int k = q[3];
                row[3 * x] = uint8_t(std::max(255 - q[2] - k, 0));
                row[3 * x + 1] = uint8_t(std::max(255 - q[1] - k, 0));
                row[3 * x + 2] = uint8_t(std::max(255 - q[0] - k, 0));
            }
        }
        if (progress.Step(y, height)) break;
    }
}

void TTIFFileFormatReader::GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) {
    const TIFFDirectory d = ParseDirectory(stream, imageIndex);
    info = TPGImageInfo{};
    // Every page of the chain is a picture of the file.
    {
        const int64_t size = stream.Size();
        uint8_t h[8];
        stream.SetPosition(d.base);
        stream.ReadBuffer(h, 8);
        const TTIFFParser p(d.bigEndian);
        int64_t at = d.base + p.U32(h + 4);
        int count = 1;
        while (count < 65536 && (at = NextDirectory(stream, p, d.base, at, size)) != 0) ++count;
        info.GraphicCount = count;
    }
    std::string sub = d.bigEndian ? "M, " : "I, ";
    static const char* const kCompression[] = {"Uncompr.", "CCITT 1D", "Group 3 F.", "Group 4 F.",
                                               "LZW",      "JPEG",     "JPEG",       "Deflate"};
    if (d.compression >= 1 && d.compression <= 8)
        sub += kCompression[d.compression - 1];
    else if (d.compression == 32773)
        sub += "PackBits";
    else if (d.compression == 32946)
        sub += "Deflate";
    static const char* const kPhotometric[] = {", WhiteIsZero", ", BlackIsZero", ", RGB", ", RGB Palette",
                                               "",              ", CMYK",        ", YCbCr", "",
                                               ", CIELab"};
    if (d.photometric > 8 || d.photometric == 4 || d.photometric == 7)
        Fail("Unsupported photometric interpretation " + std::to_string(d.photometric));
    sub += kPhotometric[d.photometric];
    info.SubType = sub;
    info.Width = int(std::min<uint32_t>(d.width, INT32_MAX));
    info.Height = int(std::min<uint32_t>(d.length, INT32_MAX));
    int64_t sum = 0;
    for (uint32_t b : d.bits) sum += b;
    info.BitsPerPixel = int(std::min<int64_t>(sum, INT32_MAX));
    info.Colors = sum > 23 ? "16.7 M" : std::to_string(1L << sum);
}
