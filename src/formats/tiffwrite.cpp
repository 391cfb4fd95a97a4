#include <algorithm>
#include <cstring>
#include <vector>

#include <zlib.h>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/register.h"
#include "formats/tiff.h"

std::atomic<bool> TIFFMotorolaOrder{false};
std::atomic<int> TIFFCompression{1};
std::atomic<bool> TIFFWriteCMYK{false};
std::atomic<bool> TIFFWhiteIsZero{false};
std::atomic<int> TIFFResolutionUnit{1};
TSharedOption<TPGRational> TIFFResolutionX{TPGRational{300, 1}};
TSharedOption<TPGRational> TIFFResolutionY{TPGRational{300, 1}};

std::vector<uint8_t> PackBitsRow(const uint8_t* row, int n) {
    std::vector<uint8_t> out;
    out.reserve(size_t(n) + size_t(n) / 128 + 2);
    if (n <= 0) return out;
    // Length of the run of equal bytes each position belongs to.
    std::vector<int> run(static_cast<size_t>(n));
    for (int i = 0; i < n;) {
        int j = i + 1;
        while (j < n && row[j] == row[i]) ++j;
        std::fill(run.begin() + i, run.begin() + j, j - i);
        i = j;
    }
    // Two equal bytes next to literal bytes are cheaper inside the literal
    // packet than as a packet of their own.
    for (int i = 1; i < n; ++i)
        if (run[size_t(i)] == 2 && run[size_t(i - 1)] == 1) run[size_t(i)] = 1;
    for (int i = n - 2; i >= 0; --i)
        if (run[size_t(i)] == 2 && run[size_t(i + 1)] == 1) run[size_t(i)] = 1;
    for (int i = 0; i < n;) {
        if (run[size_t(i)] == 1) {
            const size_t head = out.size();
            out.push_back(0);
            int count = 0;
            do {
                out.push_back(row[i]);
                ++count;
                ++i;
            } while (count < 128 && i < n && run[size_t(i)] == 1);
            out[head] = uint8_t(count - 1);
        } else {
            const uint8_t b = row[i];
            int count = 0;
            while (i < n && row[i] == b && count < 128) {
                ++count;
                ++i;
            }
            out.push_back(uint8_t(int8_t(1 - count)));
            out.push_back(b);
        }
    }
    return out;
}

std::vector<uint8_t> LZWStrip(const uint8_t* data, size_t n) {
    // TIFF's LZW: codes of 9 to 12 bits, most significant bit first, Clear
    // (256) first and whenever the table is full, EndOfInformation (257)
    // last. Readers widen the code one entry early, so the writer widens as
    // soon as the next free code no longer fits.
    constexpr int kClear = 256, kEnd = 257, kFirst = 258, kLast = 4093;
    std::vector<uint8_t> out;
    out.reserve(n / 2 + 16);
    uint32_t acc = 0;
    int accBits = 0, width = 9, next = kFirst;
    auto put = [&](int code) {
        acc = (acc << width) | uint32_t(code);
        accBits += width;
        while (accBits >= 8) {
            out.push_back(uint8_t(acc >> (accBits - 8)));
            accBits -= 8;
        }
        acc &= (1u << accBits) - 1;
    };
    // The table: (prefix code, byte) -> code, open addressing.
    constexpr uint32_t kSlots = 1 << 13;
    std::vector<uint32_t> keys(kSlots), codes(kSlots);
    auto reset = [&] {
        std::fill(keys.begin(), keys.end(), 0u);
        next = kFirst;
    };
    auto slot = [&](uint32_t key) {
        uint32_t h = (key * 2654435761u) >> 19;
        while (keys[h] != 0 && keys[h] != key) h = (h + 1) & (kSlots - 1);
        return h;
    };
    put(kClear);
    reset();
    if (n == 0) {
        put(kEnd);
        if (accBits > 0) out.push_back(uint8_t(acc << (8 - accBits)));
        return out;
    }
    int w = data[0];
    auto emit = [&](int code) {
        put(code);
        if (++next > (1 << width) - 1 && width < 12) ++width;
    };
    for (size_t i = 1; i < n; ++i) {
        const uint32_t key = (uint32_t(w) << 8 | data[i]) + 1; // 0 marks a free slot
        const uint32_t h = slot(key);
        if (keys[h] == key) {
            w = int(codes[h]);
            continue;
        }
        emit(w);
        keys[h] = key;
        codes[h] = uint32_t(next - 1);
        if (next == kLast + 1) {
            put(kClear);
            width = 9;
            reset();
        }
        w = data[i];
    }
    emit(w);
    put(kEnd);
    if (accBits > 0) out.push_back(uint8_t(acc << (8 - accBits)));
    return out;
}

namespace {

std::vector<uint8_t> DeflateStrip(const uint8_t* data, size_t n) {
    uLongf size = compressBound(uLong(n));
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, data, uLong(n), 6) != Z_OK)
        throw EPGTIFFileFormatWriter("TIFF: " + PGMessage(31, "deflate"));
    out.resize(size);
    return out;
}

[[noreturn]] void FailWrite(const std::string& text) { throw EPGTIFFileFormatWriter("TIFF: " + text); }

// Numbers in the file's byte order.
class TTIFFOut {
public:
    explicit TTIFFOut(bool bigEndian) : be_(bigEndian) {}
    void U16(std::vector<uint8_t>& v, uint32_t x) const {
        if (be_) {
            v.push_back(uint8_t(x >> 8));
            v.push_back(uint8_t(x));
        } else {
            v.push_back(uint8_t(x));
            v.push_back(uint8_t(x >> 8));
        }
    }
    void U32(std::vector<uint8_t>& v, uint32_t x) const {
        if (be_) {
            U16(v, x >> 16);
            U16(v, x & 0xFFFF);
        } else {
            U16(v, x & 0xFFFF);
            U16(v, x >> 16);
        }
    }
    void Put32(uint8_t* p, uint32_t x) const {
        std::vector<uint8_t> t;
        U32(t, x);
        std::memcpy(p, t.data(), 4);
    }

private:
    bool be_;
};

// Offsets in the file are 32 bits from the header start.
uint32_t Offset32(int64_t pos) {
    if (pos < 0 || pos > int64_t(UINT32_MAX)) FailWrite(PGMessage(27, "file"));
    return uint32_t(pos);
}

} // namespace

void TTIFFileFormatWriter::Write(TStream& stream, TPixelGraphic& picture) {
    TTIFFileFormatWriter file(Extension, Listed);
    file.sender_ = this;
    file.BeginFile(stream);
    file.WritePicture(stream, picture);
    file.EndFile(stream);
}

void TTIFFileFormatWriter::BeginFile(TStream& stream) {
    motorola_ = TIFFMotorolaOrder;
    const TTIFFOut o(motorola_);
    headerStart_ = stream.Position();
    std::vector<uint8_t> h;
    h.push_back(motorola_ ? 'M' : 'I');
    h.push_back(motorola_ ? 'M' : 'I');
    o.U16(h, 42);
    o.U32(h, 0); // directory offset, patched by the picture that follows
    stream.WriteBuffer(h.data(), int64_t(h.size()));
    nextOffsetField_ = headerStart_ + 4;
}

void TTIFFileFormatWriter::EndFile(TStream& stream) { (void)stream; }

void TTIFFileFormatWriter::WritePicture(TStream& stream, TPixelGraphic& picture) {
    // Every page of a file keeps the byte order of its header; the other
    // options are read once per page.
    const bool be = motorola_, cmyk = TIFFWriteCMYK, wiz = TIFFWhiteIsZero;
    const int compression = TIFFCompression, resolutionUnit = TIFFResolutionUnit;
    const TPGRational xres = TIFFResolutionX, yres = TIFFResolutionY;
    if (compression != 1 && compression != 5 && compression != 8 && compression != 32773)
        FailWrite("Internal Error");
    // LZW and Deflate compress whole strips of about 64 KB; PackBits and
    // uncompressed files keep their strips of at most 32 KB.
    const bool stripCodec = compression == 5 || compression == 8;
    const int width = picture.GetWidth(), height = picture.GetHeight();
    // A picture without rows or columns has no strips to describe.
    if (width < 1 || height < 1)
        throw EPGTIFFileFormatWriter("TIFF: " + PGMessage(35));
    const TTIFFOut o(be);
    const TPGPixelFormat f = picture.PixelFormat();
    const TPaletteIdent ident = picture.PaletteIdent();
    const int bits = PixelFormatBits(f);
    const int64_t rowSize = f == pg1Bit   ? (int64_t(width) + 7) / 8
                            : f == pg4Bit ? (int64_t(width) + 1) / 2
                            : f == pg8Bit ? width
                                          : int64_t(width) * (cmyk ? 4 : 3);
    int64_t rowsPerStrip =
        stripCodec ? 65536 / rowSize : 32767 / (rowSize * (compression == 32773 ? 2 : 1));
    rowsPerStrip = std::max<int64_t>(1, std::min<int64_t>(rowsPerStrip, height));
    const int64_t strips = (height + rowsPerStrip - 1) / rowsPerStrip;

    int photometric;
    if (f == pg1Bit)
        photometric = wiz ? 0 : 1;
    else if (f == pg4Bit)
        photometric = ident == pGray16 ? (wiz ? 0 : 1) : 3;
    else if (f == pg8Bit)
        photometric = ident == pGray256 ? (wiz ? 0 : 1) : 3;
    else
        photometric = cmyk ? 5 : 2;
    const bool colorMap = photometric == 3;
    const int samples = f == pg24Bit ? (cmyk ? 4 : 3) : 1;

    // Directory at the current position; its data areas follow it.
    const int64_t dirPos = stream.Position();
    const uint32_t dirOff = Offset32(dirPos - headerStart_);
    {
        std::vector<uint8_t> t;
        o.U32(t, dirOff);
        stream.SetPosition(nextOffsetField_);
        stream.WriteBuffer(t.data(), 4);
        stream.SetPosition(dirPos);
    }
    // The picture's metadata as tags of this directory: the descriptive IFD0
    // tags of its EXIF block, the Exif and GPS directories behind pointers,
    // and the ICC profile (tag 34675).
    TExifDirectories meta;
    ReadExifDirectories(ExifBlockForSave(picture.ExifBlock(), width, height), meta);
    if (meta.BigEndian != be)
        for (auto* list : {&meta.Ifd0, &meta.ExifIfd, &meta.GpsIfd})
            for (TExifEntry& e : *list) SwapExifEntryOrder(e);
    std::vector<TExifEntry> extras = meta.Ifd0;
    const std::vector<uint8_t>& icc = picture.ICCProfile();
    if (!icc.empty() && icc.size() <= kPGMaxICCBytes)
        extras.push_back(TExifEntry{34675, 7, uint32_t(icc.size()), icc});
    const int entryCount = (colorMap ? 14 : 13) + int(extras.size()) +
                           (meta.ExifIfd.empty() ? 0 : 1) + (meta.GpsIfd.empty() ? 0 : 1);
    const int64_t areasPos = dirPos + 2 + 12 * entryCount + 4;
    // Data areas: colour map or BitsPerSample array, resolutions, strip arrays.
    std::vector<uint8_t> areas;
    const int mapCount = colorMap ? 3 << bits : 0;
    int64_t mapPos = 0, bpsPos = 0;
    if (colorMap) {
        mapPos = areasPos;
        const int n = 1 << bits;
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < n; ++i) {
                const TRGB e = i < picture.PaletteCount() ? picture.PaletteEntry(i) : 0;
                const int v = c == 0 ? GetRValue(e) : c == 1 ? GetGValue(e) : GetBValue(e);
                o.U16(areas, uint32_t(v * 256));
            }
    } else if (samples > 1) {
        bpsPos = areasPos;
        for (int i = 0; i < samples; ++i) o.U16(areas, 8);
    }
    const int64_t xresPos = areasPos + int64_t(areas.size());
    o.U32(areas, xres.Numerator);
    o.U32(areas, xres.Denominator);
    const int64_t yresPos = areasPos + int64_t(areas.size());
    o.U32(areas, yres.Numerator);
    o.U32(areas, yres.Denominator);
    const int64_t offsetsPos = areasPos + int64_t(areas.size());
    if (strips > 1) areas.resize(areas.size() + size_t(strips) * 8, 0);
    const int64_t countsPos = offsetsPos + strips * 4;

    // Entries as tag and their twelve bytes, sorted by tag before writing.
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> entries;
    auto entry = [&](uint32_t tag, uint32_t type, uint32_t count, uint32_t value) {
        std::vector<uint8_t> e;
        o.U16(e, tag);
        o.U16(e, type);
        o.U32(e, count);
        if (type == 3 && count == 1) {
            o.U16(e, value); // SHORT values sit in the first two bytes
            o.U16(e, 0);
        } else {
            o.U32(e, value);
        }
        entries.emplace_back(tag, std::move(e));
    };
    auto rel = [&](int64_t pos) { return Offset32(pos - headerStart_); };
    // Values that do not fit an entry go to the areas, on word boundaries.
    auto areaValue = [&](const std::vector<uint8_t>& v) {
        if (areas.size() % 2) areas.push_back(0);
        const int64_t at = areasPos + int64_t(areas.size());
        areas.insert(areas.end(), v.begin(), v.end());
        return rel(at);
    };
    for (const TExifEntry& x : extras) {
        std::vector<uint8_t> e;
        o.U16(e, x.Tag);
        o.U16(e, x.Type);
        o.U32(e, x.Count);
        if (x.Value.size() <= 4) {
            e.insert(e.end(), x.Value.begin(), x.Value.end());
            e.resize(12, 0);
        } else {
            o.U32(e, areaValue(x.Value));
        }
        entries.emplace_back(x.Tag, std::move(e));
    }
    for (const auto& [tag, list] : {std::pair{34665u, &meta.ExifIfd}, std::pair{34853u, &meta.GpsIfd}}) {
        if (list->empty()) continue;
        if (areas.size() % 2) areas.push_back(0);
        const uint32_t at = rel(areasPos + int64_t(areas.size()));
        const std::vector<uint8_t> sub = ExifDirectoryBytes(*list, be, at);
        areas.insert(areas.end(), sub.begin(), sub.end());
        entry(tag, 4, 1, at);
    }
    entry(254, 4, 1, 0);
    entry(256, 4, 1, uint32_t(width));
    entry(257, 4, 1, uint32_t(height));
    if (samples > 1)
        entry(258, 3, uint32_t(samples), rel(bpsPos));
    else
        entry(258, 3, 1, uint32_t(bits));
    entry(259, 3, 1, uint32_t(compression));
    entry(262, 3, 1, uint32_t(photometric));
    entry(273, 4, uint32_t(strips), strips > 1 ? rel(offsetsPos) : 0);
    entry(277, 3, 1, uint32_t(samples));
    entry(278, 4, 1, uint32_t(rowsPerStrip));
    entry(279, 4, uint32_t(strips), strips > 1 ? rel(countsPos) : 0);
    entry(282, 5, 1, rel(xresPos));
    entry(283, 5, 1, rel(yresPos));
    entry(296, 3, 1, uint32_t(resolutionUnit + 1));
    if (colorMap) entry(320, 3, uint32_t(mapCount), rel(mapPos));
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<uint8_t> dir;
    o.U16(dir, uint32_t(entryCount));
    int64_t offsetsField = 0, countsField = 0;
    for (const auto& [tag, bytes] : entries) {
        if (tag == 273) offsetsField = dirPos + int64_t(dir.size()) + 8;
        if (tag == 279) countsField = dirPos + int64_t(dir.size()) + 8;
        dir.insert(dir.end(), bytes.begin(), bytes.end());
    }
    o.U32(dir, 0); // no next directory yet
    nextOffsetField_ = dirPos + int64_t(dir.size()) - 4;
    stream.WriteBuffer(dir.data(), int64_t(dir.size()));
    stream.WriteBuffer(areas.data(), int64_t(areas.size()));

    std::vector<uint32_t> stripOffsets(static_cast<size_t>(strips)), stripCounts(static_cast<size_t>(strips));
    std::vector<uint8_t> row(static_cast<size_t>(rowSize)), strip;
    int64_t pos = stream.Position();
    int64_t stripStart = 0;
    TPGProgressScope progress(picture, sender_);
    for (int y = 0; y < height; ++y) {
        const int64_t stripIndex = y / rowsPerStrip;
        if (y % rowsPerStrip == 0) {
            // Strips start on word boundaries.
            if ((pos - headerStart_) % 2 != 0) {
                stream.WriteU8(0);
                ++pos;
            }
            stripStart = pos;
            stripOffsets[size_t(stripIndex)] = rel(pos);
        }
        const uint8_t* src = picture.ScanLine(y);
        switch (f) {
        case pg1Bit:
        case pg4Bit:
        case pg8Bit: {
            std::memcpy(row.data(), src, size_t(rowSize));
            const bool invert = wiz && ((f == pg1Bit && ident == pBlackWhite) ||
                                        (f == pg4Bit && ident == pGray16) ||
                                        (f == pg8Bit && ident == pGray256));
            if (invert)
                for (auto& b : row) b = uint8_t(~b);
            // Bits past the last pixel are zero.
            if (f == pg1Bit && width % 8 != 0) row.back() &= uint8_t(0xFF00 >> (width % 8));
            if (f == pg4Bit && width % 2 != 0) row.back() &= 0xF0;
            break;
        }
        default:
            if (!cmyk) {
                for (int x = 0; x < width; ++x) {
                    row[size_t(3 * x)] = src[3 * x + 2];
                    row[size_t(3 * x + 1)] = src[3 * x + 1];
                    row[size_t(3 * x + 2)] = src[3 * x];
                }
            } else {
                for (int x = 0; x < width; ++x) {
                    const int c = 255 - src[3 * x + 2], m = 255 - src[3 * x + 1], yy = 255 - src[3 * x];
                    const int k = std::min({c, m, yy});
                    uint8_t* q = row.data() + 4 * x;
                    q[0] = uint8_t(c - k);
                    q[1] = uint8_t(m - k);
                    q[2] = uint8_t(yy - k);
                    q[3] = uint8_t(k);
                }
            }
            break;
        }
        const bool stripEnd = (y + 1) % rowsPerStrip == 0 || y == height - 1;
        if (stripCodec) {
            strip.insert(strip.end(), row.begin(), row.end());
            if (stripEnd) {
                const std::vector<uint8_t> packed = compression == 5
                                                        ? LZWStrip(strip.data(), strip.size())
                                                        : DeflateStrip(strip.data(), strip.size());
                stream.WriteBuffer(packed.data(), int64_t(packed.size()));
                pos += int64_t(packed.size());
                strip.clear();
            }
        } else if (compression == 32773) {
            const std::vector<uint8_t> packed = PackBitsRow(row.data(), int(rowSize));
            stream.WriteBuffer(packed.data(), int64_t(packed.size()));
            pos += int64_t(packed.size());
        } else {
            stream.WriteBuffer(row.data(), rowSize);
            pos += rowSize;
        }
        if (stripEnd) stripCounts[size_t(stripIndex)] = Offset32(pos - stripStart);
        progress.Step(y, height - 1);
    }

    // Strip offsets and byte counts, now that they are known.
    if (strips == 1) {
        uint8_t t[4];
        o.Put32(t, stripOffsets[0]);
        stream.SetPosition(offsetsField);
        stream.WriteBuffer(t, 4);
        o.Put32(t, stripCounts[0]);
        stream.SetPosition(countsField);
        stream.WriteBuffer(t, 4);
    } else {
        std::vector<uint8_t> a;
        for (uint32_t v : stripOffsets) o.U32(a, v);
        for (uint32_t v : stripCounts) o.U32(a, v);
        stream.SetPosition(offsetsPos);
        stream.WriteBuffer(a.data(), int64_t(a.size()));
    }
    stream.SetPosition(pos);
}

void RegisterTIFFFormats() {
    RegisterFileFormatReader(std::make_unique<TTIFFileFormatReader>());
    RegisterFileFormatReader(std::make_unique<TTIFFFileFormatReader>());
    RegisterFileFormatWriter(std::make_unique<TTIFFileFormatWriter>());
    RegisterFileFormatWriter(std::make_unique<TTIFFFileFormatWriter>());
}
