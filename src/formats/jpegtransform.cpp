#include "formats/jpegtransform.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include <turbojpeg.h>

#include "core/exceptions.h"
#include "core/options.h"
#include "core/stream.h"
#include "formats/jpeg.h"

namespace {

[[noreturn]] void Fail(const std::string& text) { throw EPGJPGFileFormatReaderWriter("JPG: " + text); }

// ---- The turns as 2 x 2 matrices on centred coordinates (x right, y down) ----

struct TMatrix {
    int a, b, c, d; // x' = a x + b y, y' = c x + d y
    bool operator==(const TMatrix&) const = default;
};

constexpr TJpegTurn kTurns[] = {TJpegTurn::None,      TJpegTurn::FlipHorizontal, TJpegTurn::FlipVertical,
                                TJpegTurn::Transpose, TJpegTurn::Transverse,     TJpegTurn::Rotate90,
                                TJpegTurn::Rotate180, TJpegTurn::Rotate270};

TMatrix MatrixOf(TJpegTurn t) {
    switch (t) {
    case TJpegTurn::None: return {1, 0, 0, 1};
    case TJpegTurn::FlipHorizontal: return {-1, 0, 0, 1};
    case TJpegTurn::FlipVertical: return {1, 0, 0, -1};
    case TJpegTurn::Transpose: return {0, 1, 1, 0};
    case TJpegTurn::Transverse: return {0, -1, -1, 0};
    case TJpegTurn::Rotate90: return {0, -1, 1, 0};
    case TJpegTurn::Rotate180: return {-1, 0, 0, -1};
    case TJpegTurn::Rotate270: return {0, 1, -1, 0};
    }
    return {1, 0, 0, 1};
}

int TurboOp(TJpegTurn t) {
    switch (t) {
    case TJpegTurn::None: return TJXOP_NONE;
    case TJpegTurn::FlipHorizontal: return TJXOP_HFLIP;
    case TJpegTurn::FlipVertical: return TJXOP_VFLIP;
    case TJpegTurn::Transpose: return TJXOP_TRANSPOSE;
    case TJpegTurn::Transverse: return TJXOP_TRANSVERSE;
    case TJpegTurn::Rotate90: return TJXOP_ROT90;
    case TJpegTurn::Rotate180: return TJXOP_ROT180;
    case TJpegTurn::Rotate270: return TJXOP_ROT270;
    }
    return TJXOP_NONE;
}

// Whether the turn moves the right (resp. bottom) edge of the source, where
// a partial block cannot be moved exactly: the rule of libjpeg's transforms.
bool NeedsWholeColumns(TJpegTurn t) {
    return t == TJpegTurn::FlipHorizontal || t == TJpegTurn::Rotate270 || t == TJpegTurn::Transverse ||
           t == TJpegTurn::Rotate180;
}
bool NeedsWholeRows(TJpegTurn t) {
    return t == TJpegTurn::FlipVertical || t == TJpegTurn::Rotate90 || t == TJpegTurn::Transverse ||
           t == TJpegTurn::Rotate180;
}

// ---- Marker segments ----

uint16_t Be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

struct TSegment {
    uint8_t marker;
    std::size_t pos;    // of the 0xFF
    std::size_t length; // marker and payload
};

struct TLayout {
    std::vector<TSegment> header; // the segments before the first scan
    bool progressive = false;
    int scans = 0;
};

// Walks the segments of JPEG data. With `countScans`, also walks the entropy
// coded data after each scan header to count the scans (a progressive file
// of thousands of tiny scans makes the library walk every block each time).
TLayout WalkJpeg(const uint8_t* p, std::size_t n, bool countScans) {
    TLayout l;
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8) Fail("Not a JPEG file");
    std::size_t i = 2;
    bool inScans = false;
    while (i + 1 < n) {
        if (p[i] != 0xFF) {
            if (!inScans) Fail("Corrupt JPEG data: bad marker layout");
            // Entropy coded data: find the next marker that is not a stuffed
            // byte or a restart marker.
            const void* ff = std::memchr(p + i, 0xFF, n - i);
            if (!ff) break;
            i = std::size_t(static_cast<const uint8_t*>(ff) - p);
            continue;
        }
        const uint8_t m = p[i + 1];
        if (m == 0xFF) { // fill byte
            ++i;
            continue;
        }
        if (m == 0x00 || (m >= 0xD0 && m <= 0xD7) || m == 0x01) {
            i += 2;
            continue;
        }
        if (m == 0xD9) break; // EOI
        if (i + 4 > n) break;
        const std::size_t len = Be16(p + i + 2);
        if (len < 2 || i + 2 + len > n) Fail("Corrupt JPEG data: segment runs past the end of the file");
        if (m == 0xC2 || m == 0xC6 || m == 0xCA || m == 0xCE) l.progressive = true;
        if (!inScans) l.header.push_back({m, i, 2 + len});
        if (m == 0xDA) {
            ++l.scans;
            if (!countScans) break;
            inScans = true;
        }
        i += 2 + len;
    }
    return l;
}

// ---- TIFF (EXIF) structure, every access checked against the block ----

class TTiff {
  public:
    TTiff(uint8_t* p, std::size_t n) : p_(p), n_(n) {
        ok_ = n >= 8 && ((p[0] == 'I' && p[1] == 'I') || (p[0] == 'M' && p[1] == 'M'));
        le_ = ok_ && p[0] == 'I';
    }
    bool Ok() const { return ok_; }
    std::size_t Size() const { return n_; }
    bool Has(std::size_t at, std::size_t count) const { return at <= n_ && count <= n_ - at; }
    uint16_t U16(std::size_t at) const {
        if (!Has(at, 2)) return 0;
        return le_ ? uint16_t(p_[at] | p_[at + 1] << 8) : Be16(p_ + at);
    }
    uint32_t U32(std::size_t at) const {
        if (!Has(at, 4)) return 0;
        return le_ ? uint32_t(p_[at]) | uint32_t(p_[at + 1]) << 8 | uint32_t(p_[at + 2]) << 16 |
                         uint32_t(p_[at + 3]) << 24
                   : uint32_t(p_[at]) << 24 | uint32_t(p_[at + 1]) << 16 | uint32_t(p_[at + 2]) << 8 |
                         uint32_t(p_[at + 3]);
    }
    void Put16(std::size_t at, uint16_t v) {
        if (!Has(at, 2)) return;
        p_[at + (le_ ? 0 : 1)] = uint8_t(v);
        p_[at + (le_ ? 1 : 0)] = uint8_t(v >> 8);
    }
    void Put32(std::size_t at, uint32_t v) {
        if (!Has(at, 4)) return;
        for (int k = 0; k < 4; ++k) p_[at + (le_ ? k : 3 - k)] = uint8_t(v >> (8 * k));
    }
    // The entry of `tag` in the IFD at `ifd` (its offset), 0 when absent.
    std::size_t Entry(std::size_t ifd, uint16_t tag) const {
        if (ifd == 0 || !Has(ifd, 2)) return 0;
        const std::size_t count = U16(ifd);
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t e = ifd + 2 + 12 * k;
            if (!Has(e, 12)) return 0;
            if (U16(e) == tag) return e;
        }
        return 0;
    }
    // Offset of the field holding the next IFD's offset, 0 when out of range.
    std::size_t NextField(std::size_t ifd) const {
        if (ifd == 0 || !Has(ifd, 2)) return 0;
        const std::size_t at = ifd + 2 + 12 * std::size_t(U16(ifd));
        return Has(at, 4) ? at : 0;
    }
    // A one-value SHORT or LONG entry.
    bool ReadInt(std::size_t e, uint32_t& v) const {
        if (e == 0 || U32(e + 4) != 1) return false;
        if (U16(e + 2) == 3) v = U16(e + 8);
        else if (U16(e + 2) == 4) v = U32(e + 8);
        else return false;
        return true;
    }
    void WriteInt(std::size_t e, uint32_t v) {
        if (e == 0 || U32(e + 4) != 1) return;
        if (U16(e + 2) == 3 && v <= 0xFFFF) Put16(e + 8, uint16_t(v));
        else if (U16(e + 2) == 4) Put32(e + 8, v);
    }
    // An IFD offset read from the file: inside the block and not the header.
    std::size_t IfdAt(uint32_t off) const { return off >= 8 && Has(off, 2) ? off : 0; }

  private:
    uint8_t* p_;
    std::size_t n_;
    bool ok_ = false, le_ = true;
};

constexpr char kExifId[] = "Exif\0\0";
constexpr std::size_t kExifIdLength = 6;
constexpr char kXmpId[] = "http://ns.adobe.com/xap/1.0/";

bool IsExifSegment(const uint8_t* p, const TSegment& s) {
    return s.marker == 0xE1 && s.length >= 4 + kExifIdLength + 8 &&
           std::memcmp(p + s.pos + 4, kExifId, kExifIdLength) == 0;
}

bool IsXmpSegment(const uint8_t* p, const TSegment& s) {
    const std::size_t idLength = sizeof(kXmpId); // with its terminating zero
    return s.marker == 0xE1 && s.length >= 4 + idLength && std::memcmp(p + s.pos + 4, kXmpId, idLength) == 0;
}

// ---- The TurboJPEG transform ----

struct TTurboHandle {
    tjhandle h = tjInitTransform();
    ~TTurboHandle() {
        if (h) tjDestroy(h);
    }
};

struct TTurboBuffer {
    unsigned char* p = nullptr;
    unsigned long size = 0;
    ~TTurboBuffer() { tjFree(p); }
};

struct THeader {
    int width = 0, height = 0, subsamp = 0, colorspace = 0;
};

THeader ReadHeader(tjhandle h, const uint8_t* p, std::size_t n) {
    THeader hd;
    if (tjDecompressHeader3(h, p, static_cast<unsigned long>(n), &hd.width, &hd.height, &hd.subsamp,
                            &hd.colorspace) != 0)
        Fail(tjGetErrorStr2(h));
    if (hd.subsamp < 0 || hd.subsamp >= TJ_NUMSAMP) Fail("The picture's colour sampling cannot be turned losslessly");
    return hd;
}

// Runs one transform; false (and the library's text in `error`) on failure.
bool RunTransform(tjhandle h, const uint8_t* p, std::size_t n, const tjtransform& xf, TTurboBuffer& out,
                  std::string& error) {
    tjtransform x = xf;
    if (tjTransform(h, p, static_cast<unsigned long>(n), 1, &out.p, &out.size, &x, TJFLAG_STOPONWARNING) != 0) {
        error = tjGetErrorStr2(h);
        return false;
    }
    return true;
}

// The EXIF thumbnail turned like the picture, or empty when it cannot be.
std::vector<uint8_t> TurnThumbnail(const uint8_t* p, std::size_t n, TJpegTurn turn) {
    try {
        (void)WalkJpeg(p, n, true);
        TTurboHandle h;
        if (!h.h) return {};
        tjtransform xf{};
        xf.op = TurboOp(turn);
        xf.options = TJXOPT_TRIM | TJXOPT_COPYNONE;
        TTurboBuffer out;
        std::string error;
        if (!RunTransform(h.h, p, n, xf, out, error)) return {};
        return {out.p, out.p + out.size};
    } catch (const Exception&) {
        return {};
    }
}

// Brings the EXIF block of the result in line with it: the orientation reset
// when it was applied, the pixel sizes, and the thumbnail turned with the
// picture (dropped when it cannot be turned or would not fit).
std::vector<uint8_t> FixExif(std::vector<uint8_t> file, TJpegTurn turn, bool resetOrientation, int width,
                             int height) {
    const TLayout l = WalkJpeg(file.data(), file.size(), false);
    for (const TSegment& s : l.header) {
        if (!IsXmpSegment(file.data(), s) || !resetOrientation) continue;
        // XMP may repeat the orientation: tiff:Orientation="6" or
        // <tiff:Orientation>6</tiff:Orientation>. Same length, in place.
        char* b = reinterpret_cast<char*>(file.data() + s.pos);
        std::string_view text(b, s.length);
        static constexpr std::string_view kName = "tiff:Orientation";
        for (std::size_t at = text.find(kName); at != std::string_view::npos;
             at = text.find(kName, at + kName.size())) {
            const std::size_t v = at + kName.size() + (text.substr(at + kName.size(), 2) == "=\"" ? 2 : 1);
            if (v + 1 < text.size() && text[v] >= '1' && text[v] <= '8' &&
                (text[v + 1] == '"' || text[v + 1] == '<') &&
                (text[at + kName.size()] == '=' || text[at + kName.size()] == '>'))
                b[v] = '1';
        }
    }
    for (const TSegment& s : l.header) {
        if (!IsExifSegment(file.data(), s)) continue;
        const std::size_t tiffAt = s.pos + 4 + kExifIdLength;
        std::vector<uint8_t> tiffData(file.begin() + std::ptrdiff_t(tiffAt),
                                      file.begin() + std::ptrdiff_t(s.pos + s.length));
        TTiff tiff(tiffData.data(), tiffData.size());
        if (!tiff.Ok()) continue;
        const std::size_t ifd0 = tiff.IfdAt(tiff.U32(4));
        if (resetOrientation) tiff.WriteInt(tiff.Entry(ifd0, 274), 1);
        const std::size_t exifPointer = tiff.Entry(ifd0, 0x8769);
        if (const std::size_t exifIfd = exifPointer ? tiff.IfdAt(tiff.U32(exifPointer + 8)) : 0) {
            uint32_t v;
            const std::size_t ex = tiff.Entry(exifIfd, 0xA002), ey = tiff.Entry(exifIfd, 0xA003);
            if (tiff.ReadInt(ex, v) && tiff.ReadInt(ey, v)) {
                tiff.WriteInt(ex, uint32_t(width));
                tiff.WriteInt(ey, uint32_t(height));
            }
        }
        const std::size_t next = tiff.NextField(ifd0);
        const std::size_t ifd1 = next ? tiff.IfdAt(tiff.U32(next)) : 0;
        if (ifd1 && turn != TJpegTurn::None) {
            uint32_t thumbAt = 0, thumbLength = 0;
            const std::size_t eAt = tiff.Entry(ifd1, 0x201), eLength = tiff.Entry(ifd1, 0x202);
            std::vector<uint8_t> turned;
            if (tiff.ReadInt(eAt, thumbAt) && tiff.ReadInt(eLength, thumbLength) && thumbLength > 0 &&
                tiff.Has(thumbAt, thumbLength))
                turned = TurnThumbnail(tiffData.data() + thumbAt, thumbLength, turn);
            // The new thumbnail goes where the old one was when that was the
            // end of the block, else after everything.
            std::size_t place = std::size_t(thumbAt) + thumbLength == tiffData.size() ? thumbAt : tiffData.size();
            const std::size_t maxTiff = 0xFFFF - 2 - kExifIdLength;
            if (!turned.empty() && place + turned.size() <= maxTiff) {
                tiffData.resize(place);
                tiffData.insert(tiffData.end(), turned.begin(), turned.end());
                TTiff t2(tiffData.data(), tiffData.size());
                t2.WriteInt(eAt, uint32_t(place));
                t2.WriteInt(eLength, uint32_t(turned.size()));
                int tw = 0, th = 0, ts = 0, tc = 0;
                TTurboHandle h;
                if (h.h && tjDecompressHeader3(h.h, turned.data(), static_cast<unsigned long>(turned.size()), &tw,
                                               &th, &ts, &tc) == 0) {
                    uint32_t v;
                    const std::size_t w = t2.Entry(ifd1, 0x100), hh = t2.Entry(ifd1, 0x101);
                    if (t2.ReadInt(w, v) && t2.ReadInt(hh, v)) {
                        t2.WriteInt(w, uint32_t(tw));
                        t2.WriteInt(hh, uint32_t(th));
                    }
                }
            } else {
                // Unlinked: a thumbnail lying differently from the picture
                // would show the photo sideways.
                tiff.Put32(next, 0);
                if (std::size_t(thumbAt) + thumbLength == tiffData.size() && thumbAt > ifd1)
                    tiffData.resize(thumbAt);
            }
        }
        std::vector<uint8_t> segment{0xFF, 0xE1, 0, 0};
        const std::size_t payload = 2 + kExifIdLength + tiffData.size();
        segment[2] = uint8_t(payload >> 8);
        segment[3] = uint8_t(payload);
        segment.insert(segment.end(), kExifId, kExifId + kExifIdLength);
        segment.insert(segment.end(), tiffData.begin(), tiffData.end());
        std::vector<uint8_t> result;
        result.reserve(file.size() + segment.size());
        result.insert(result.end(), file.begin(), file.begin() + std::ptrdiff_t(s.pos));
        result.insert(result.end(), segment.begin(), segment.end());
        result.insert(result.end(), file.begin() + std::ptrdiff_t(s.pos + s.length), file.end());
        return result; // one EXIF block per file
    }
    return file;
}

} // namespace

TJpegTurn JpegTurnOfOrientation(int orientation) {
    switch (orientation) {
    case 2: return TJpegTurn::FlipHorizontal;
    case 3: return TJpegTurn::Rotate180;
    case 4: return TJpegTurn::FlipVertical;
    case 5: return TJpegTurn::Transpose;
    case 6: return TJpegTurn::Rotate90;
    case 7: return TJpegTurn::Transverse;
    case 8: return TJpegTurn::Rotate270;
    default: return TJpegTurn::None;
    }
}

TJpegTurn JpegTurnThen(TJpegTurn first, TJpegTurn second) {
    const TMatrix a = MatrixOf(first), b = MatrixOf(second);
    const TMatrix m{b.a * a.a + b.b * a.c, b.a * a.b + b.b * a.d, b.c * a.a + b.d * a.c, b.c * a.b + b.d * a.d};
    for (TJpegTurn t : kTurns)
        if (MatrixOf(t) == m) return t;
    return TJpegTurn::None;
}

bool JpegTurnSwapsSides(TJpegTurn turn) { return MatrixOf(turn).a == 0; }

int JpegExifOrientationOf(const uint8_t* data, std::size_t size) {
    try {
        const TLayout l = WalkJpeg(data, size, false);
        for (const TSegment& s : l.header) {
            if (!IsExifSegment(data, s)) continue;
            const std::size_t tiffAt = s.pos + 4 + kExifIdLength;
            TTiff tiff(const_cast<uint8_t*>(data + tiffAt), s.pos + s.length - tiffAt);
            uint32_t v = 0;
            if (tiff.Ok() && tiff.ReadInt(tiff.Entry(tiff.IfdAt(tiff.U32(4)), 274), v) && v >= 1 && v <= 8)
                return int(v);
            return 1;
        }
    } catch (const Exception&) {
    }
    return 1;
}

TJpegTransformResult JpegTransformData(const uint8_t* data, std::size_t size, const TJpegTransform& t) {
    const TLayout layout = WalkJpeg(data, size, true);
    if (layout.scans > kJPEGMaxScans) Fail("Too many scans in progressive file");
    TTurboHandle h;
    if (!h.h) Fail(tjGetErrorStr2(nullptr));
    const THeader hd = ReadHeader(h.h, data, size);
    // The coefficient store is about the size of the decoded picture; the
    // same cap keeps a forged header from asking for gigabytes.
    if (int64_t(hd.width) * hd.height * 3 > kPGDefaultMaxImageBytes) Fail("Picture too large");

    const int orientation = t.applyExifOrientation ? JpegExifOrientationOf(data, size) : 1;
    const TJpegTurn turn = JpegTurnThen(JpegTurnOfOrientation(orientation), t.turn);
    const bool resetOrientation = t.applyExifOrientation && orientation != 1;
    if (turn == TJpegTurn::None && !t.crop && !resetOrientation) {
        TJpegTransformResult same; // nothing to do: the data as it is
        same.data.assign(data, data + size);
        same.width = hd.width;
        same.height = hd.height;
        return same;
    }

    const int mcuW = tjMCUWidth[hd.subsamp], mcuH = tjMCUHeight[hd.subsamp];
    const bool cutColumns = NeedsWholeColumns(turn) && hd.width % mcuW != 0;
    const bool cutRows = NeedsWholeRows(turn) && hd.height % mcuH != 0;
    if ((cutColumns || cutRows) && !t.trim)
        throw EJpegTransformInexact(
            "JPG: The picture's size (" + std::to_string(hd.width) + " x " + std::to_string(hd.height) +
             ") is not a multiple of its block size (" + std::to_string(mcuW) + " x " + std::to_string(mcuH) +
             "), so this turn cannot be done without loss; trimming the partial edge blocks allows it");
    // The turned (and trimmed) picture, in which the crop is given.
    int w = cutColumns ? hd.width - hd.width % mcuW : hd.width;
    int hgt = cutRows ? hd.height - hd.height % mcuH : hd.height;
    // The crop's corner lies on the block grid of the turned picture, and
    // TurboJPEG also asks for the source's grid: with a quarter turn both.
    int blockW = mcuW, blockH = mcuH;
    if (JpegTurnSwapsSides(turn)) {
        std::swap(w, hgt);
        blockW = blockH = std::max(mcuW, mcuH);
    }

    tjtransform xf{};
    xf.op = TurboOp(turn);
    xf.options = (t.trim ? TJXOPT_TRIM : TJXOPT_PERFECT) | (layout.progressive ? TJXOPT_PROGRESSIVE : 0);
    if (t.crop) {
        if (t.cropWidth <= 0 || t.cropHeight <= 0 || t.cropX < 0 || t.cropY < 0 || t.cropX >= w ||
            t.cropY >= hgt || t.cropWidth > w - t.cropX || t.cropHeight > hgt - t.cropY)
            Fail("The crop rectangle " + std::to_string(t.cropWidth) + "x" + std::to_string(t.cropHeight) + "+" +
                 std::to_string(t.cropX) + "+" + std::to_string(t.cropY) + " does not lie on the " +
                 std::to_string(w) + " x " + std::to_string(hgt) + " picture");
        if (t.cropX % blockW != 0 || t.cropY % blockH != 0)
            Fail("A lossless crop must start on the block grid: left a multiple of " + std::to_string(blockW) +
                 ", top a multiple of " + std::to_string(blockH));
        xf.options |= TJXOPT_CROP;
        xf.r = tjregion{t.cropX, t.cropY, t.cropWidth, t.cropHeight};
    }

    TTurboBuffer out;
    std::string error;
    if (!RunTransform(h.h, data, size, xf, out, error)) Fail(error);
    std::vector<uint8_t> file(out.p, out.p + out.size);
    const THeader result = ReadHeader(h.h, file.data(), file.size());

    TJpegTransformResult r;
    r.data = FixExif(std::move(file), turn, resetOrientation, result.width, result.height);
    r.changed = true;
    r.width = result.width;
    r.height = result.height;
    return r;
}

TJpegTransformResult JpegTransformFile(const std::string& source, const std::string& target,
                                       const TJpegTransform& transform) {
    const std::vector<uint8_t> data = ReadWholeFile(source);
    TJpegTransformResult r = JpegTransformData(data.data(), data.size(), transform);
    if (!r.changed && source == target) return r;
    TSafeFileStream out(target);
    out.WriteBuffer(r.data.data(), int64_t(r.data.size()));
    out.Commit();
    return r;
}
