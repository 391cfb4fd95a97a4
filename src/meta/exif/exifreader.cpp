#include "meta/exif/exifreader.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "core/exceptions.h"
#include "core/stream.h"
#include "meta/exif/exifdecode.h"

namespace {

struct TTagName {
    uint16_t tag;
    const char* text;
};

// Sorted by tag for the binary search; the texts are the ones the viewer has
// always shown, spacing and all.
constexpr TTagName kTagNames[] = {
    {254, "NewSubFile Type"},
    {256, "ImageWidth"},
    {257, "ImageLength"},
    {258, "BitsPerSample"},
    {259, "Compression"},
    {262, "PhotometricInterpretation"},
    {266, "FillOrder"},
    {269, "DocumentName"},
    {270, "ImageDescription"},
    {271, "Make"},
    {272, "Model"},
    {273, "StripOffsets"},
    {274, "Orientation"},
    {277, "SamplesPerPixel"},
    {278, "RowsPerStrip"},
    {279, "StripByteCounts"},
    {282, "XResolution"},
    {283, "YResolution"},
    {284, "PlanarConfiguration"},
    {296, "ResolutionUnit"},
    {301, "TransferFunction"},
    {305, "Software"},
    {306, "DateTime"},
    {315, "Artist"},
    {318, "WhitePoint"},
    {319, "PrimaryChromaticities"},
    {342, "TransferRange"},
    {512, "JPEGProc"},
    {513, "JPEGInterchangeFormat"},
    {514, "JPEGInterchangeFormatLength"},
    {529, "YCbCrCoefficients"},
    {530, "YCbCrSubSampling"},
    {531, "YCbCrPositioning"},
    {532, "ReferenceBlackWhite"},
    {33421, "CFARepeatPatternDim"},
    {33422, "CFAPattern"},
    {33423, "BatteryLevel"},
    {33432, "Copyright"},
    {33434, "Exposure Time"},
    {33437, "F Number"},
    {33723, "IPTC/NAA"},
    {34665, "ExifOffset"},
    {34675, "InterColorProfile"},
    {34850, "Exposure Program"},
    {34852, "SpectralSensitivity"},
    {34853, "GPSInfo"},
    {34855, "ISO Speed Rating"},
    {34856, "OECF"},
    {36864, "Exif Version"},
    {36867, "DateTime Original"},
    {36868, "DateTime Digitized"},
    {37121, "Component Configuration"},
    {37122, "Compressed Bits Per Pixel"},
    {37377, "Shutter Speed Value"},
    {37378, "Aperture Value"},
    {37379, "Brightness Value"},
    {37380, "Exposure Bias Value"},
    {37381, "Max Aperture Value"},
    {37382, "Subject Distance"},
    {37383, "Metering Mode"},
    {37384, "Light Source"},
    {37385, "Flash"},
    {37386, "Focal Length"},
    {37500, "Maker Note"},
    {37510, "User Comment"},
    {37520, "SubSecTime"},
    {37521, "SubSecTimeOriginal"},
    {37522, "SubSecTimeDigitized"},
    {40960, "Flash Pix Version"},
    {40961, "Color Space"},
    {40962, "Exif Image Width"},
    {40963, "Exif Image Height"},
    {40964, "Related Sound File"},
    {40965, "Exif Interoperability Offset"},
    {41486, "Focal Plane X Resolution"},
    {41487, "Focal Plane Y Resolution"},
    {41488, "Focal Plane Resolution Unit"},
    {41495, "Sensing Method"},
    {41728, "File Source"},
    {41729, "Scene Type"},
    // The tags cameras have written since (Exif 2.2 and 2.3).
    {41985, "Custom Rendered"},
    {41986, "Exposure Mode"},
    {41987, "White Balance"},
    {41988, "Digital Zoom Ratio"},
    {41989, "Focal Length In 35mm Film"},
    {41990, "Scene Capture Type"},
    {41991, "Gain Control"},
    {41992, "Contrast"},
    {41993, "Saturation"},
    {41994, "Sharpness"},
    {41996, "Subject Distance Range"},
    {42016, "Image Unique ID"},
    {42032, "Camera Owner Name"},
    {42033, "Body Serial Number"},
    {42034, "Lens Info"},
    {42035, "Lens Make"},
    {42036, "Lens Model"},
};

constexpr uint16_t kExifIfdTag = 34665;
constexpr uint16_t kGpsIfdTag = 34853;
// Numbers read beyond the first for the readable text (a GPS coordinate has
// three, the lens data four).
constexpr int kDecodedValues = 8;
constexpr int kHeadBytes = 64;      // where the byte-order mark is looked for
constexpr int kMaxAsciiBytes = 255; // the longest text taken from an Ascii value
// Camera blocks sit within the first 64 KiB (a JPEG segment holds no more):
// one read brings them in and the walk is served from memory.
constexpr int64_t kWindowBytes = 64 << 10;

// Random access to the stream's bytes, each read checked against the size
// taken at the start. A stream that has shrunk meanwhile gives a short read,
// which is a failed read, never bytes made up.
class TSource {
  public:
    explicit TSource(TStream& s) : s_(s) {
        try {
            size_ = std::max<int64_t>(0, s_.Size());
            window_.resize(size_t(std::min(size_, kWindowBytes)));
            window_.resize(size_t(ReadStream(0, window_.data(), int64_t(window_.size()))));
        } catch (const EStreamError&) {
            size_ = 0;
            window_.clear();
        }
    }
    int64_t Size() const { return size_; }
    const std::vector<uint8_t>& Head() const { return window_; }

    // Exactly n bytes at pos, or false.
    bool ReadAt(int64_t pos, void* dst, int64_t n) {
        if (pos < 0 || n < 0 || pos > size_ || n > size_ - pos) return false;
        if (pos + n <= int64_t(window_.size())) {
            std::memcpy(dst, window_.data() + pos, size_t(n));
            return true;
        }
        try {
            return ReadStream(pos, dst, n) == n;
        } catch (const EStreamError&) {
            return false;
        }
    }

  private:
    int64_t ReadStream(int64_t pos, void* dst, int64_t n) {
        s_.Seek(pos, TSeekOrigin::Beginning);
        int64_t got = 0;
        while (got < n) {
            const int64_t k = s_.Read(static_cast<uint8_t*>(dst) + got, n - got);
            if (k <= 0) break;
            got += k;
        }
        return got;
    }

    TStream& s_;
    int64_t size_ = 0;
    std::vector<uint8_t> window_;
};

// Numbers in the block's byte order, decoded byte by byte for either order.
struct TOrder {
    bool intel;
    uint16_t U16(const uint8_t* p) const {
        return intel ? uint16_t(p[0] | p[1] << 8) : uint16_t(p[0] << 8 | p[1]);
    }
    uint32_t U32(const uint8_t* p) const {
        return intel ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                           uint32_t(p[3]) << 24
                     : uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 |
                           uint32_t(p[3]);
    }
};

// Ends the whole reading: a cap was reached.
struct TStop {};

class TWalker {
  public:
    TWalker(TSource& src, TOrder order, int64_t base, const TExifRowSink& sink,
            const TExifLimits& limits)
        : src_(src), order_(order), base_(base), sink_(sink), limits_(limits) {}

    // Walks one chain from `offset`; returns the Exif IFD offset met on it
    // (and keeps the GPS directory's).
    uint32_t WalkChain(uint32_t offset, TExifDirectory kind) {
        const bool mainChain = kind == TExifDirectory::Main;
        uint32_t exifOffset = 0;
        for (int index = 0; offset != 0; ++index) {
            // Offsets count from the base; in 64 bits they cannot wrap.
            const int64_t pos = base_ + int64_t(offset);
            if (!visited_.insert(pos).second) break; // a loop, also across chains
            if (++ifds_ > limits_.MaxIfds) throw TStop{};
            uint8_t cnt[2];
            if (!src_.ReadAt(pos, cnt, 2)) break;
            const int64_t n = order_.U16(cnt);
            // The whole directory must be there before it is read.
            const int64_t entriesAt = pos + 2;
            if (n * 12 > src_.Size() - entriesAt) break;
            entries_.resize(size_t(n * 12 + 4));
            if (!src_.ReadAt(entriesAt, entries_.data(), n * 12)) break;
            const bool haveNext = src_.ReadAt(entriesAt + n * 12, entries_.data() + n * 12, 4);
            const std::string ifd =
                kind == TExifDirectory::Gps
                    ? "GPS" + (index > 0 ? std::to_string(index) : std::string())
                    : (mainChain ? "IFD" : "ExifIFD") +
                          (mainChain || index > 0 ? std::to_string(index) : "");
            refs_.clear();
            for (int64_t i = 0; i < n; ++i) {
                const uint8_t* e = entries_.data() + i * 12;
                TExifRow row;
                row.Ifd = ifd;
                row.Tag = order_.U16(e);
                row.Type = order_.U16(e + 2);
                row.Count = order_.U32(e + 4);
                if (mainChain && row.Tag == kExifIfdTag) exifOffset = order_.U32(e + 8);
                if (mainChain && index == 0 && row.Tag == kGpsIfdTag) gpsOffset = order_.U32(e + 8);
                if (!FormatValue(row, e + 8, kind)) return exifOffset;
                row.Description = kind == TExifDirectory::Gps ? ExifGpsTagDescription(row.Tag)
                                                              : ExifTagDescription(row.Tag);
                if (++rows_ > limits_.MaxRows) throw TStop{};
                sink_(row);
            }
            if (!haveNext) break;
            offset = order_.U32(entries_.data() + n * 12);
        }
        return exifOffset;
    }

    uint32_t gpsOffset = 0;

  private:
    // Fills row.Value and row.Text from the 4-byte value field `field`;
    // false when the values lie beyond the data (the chain ends there).
    bool FormatValue(TExifRow& row, const uint8_t* field, TExifDirectory kind) {
        const int size = ExifTypeSize(row.Type);
        // A count of 0 has no first value; types without a size have no text.
        if (size == 0 || row.Count == 0) return true;
        const int64_t total = int64_t(row.Count) * size; // 64 bits: never wraps to "inline"
        int64_t need = size; // the first value: the raw form shows it alone
        if (row.Type == 7) need = total;
        if (row.Type == 2) need = std::min<int64_t>(row.Count, kMaxAsciiBytes);
        // Values of up to 4 bytes stand in the field, left-aligned; others
        // at the offset the field holds, which must lie inside the data
        // before anything is allocated for them.
        const int64_t at = base_ + int64_t(order_.U32(field));
        if (total > 4 && (at > src_.Size() || need > src_.Size() - at)) return false;
        // The readable text takes a few more numbers (a GPS coordinate has
        // three, the lens data four) where the data holds them; a
        // count that runs past the data still shows its first value.
        if (row.Type != 7 && row.Type != 2) {
            const int64_t more = std::min<int64_t>(total, int64_t(size) * kDecodedValues);
            const int64_t there = total > 4 ? (src_.Size() - at) / size * size : total;
            need = std::max(need, std::min(more, there));
        }
        if (valueBytes_ + need > limits_.MaxValueBytes) throw TStop{};
        valueBytes_ += need;

        const uint8_t* v = field;
        if (total > 4) {
            buf_.resize(size_t(need));
            if (!src_.ReadAt(at, buf_.data(), need)) return false;
            v = buf_.data();
        }
        switch (row.Type) {
        case 1: // Byte
        case 6: // SByte, shown unsigned as it always was
            row.Value = std::to_string(v[0]);
            break;
        case 2: { // Ascii: up to the first zero
            const size_t len = size_t(need);
            const auto* end = static_cast<const uint8_t*>(std::memchr(v, 0, len));
            row.Value = ExifText(v, end ? size_t(end - v) : len);
            break;
        }
        case 3: // Short
            row.Value = std::to_string(order_.U16(v));
            break;
        case 8: // SShort
            row.Value = std::to_string(int16_t(order_.U16(v)));
            break;
        case 4: // Long, shown signed as it always was
        case 9: // SLong
            row.Value = std::to_string(int32_t(order_.U32(v)));
            break;
        case 5:  // Rational, shown signed as it always was
        case 10: // SRational
            row.Value = std::to_string(int32_t(order_.U32(v))) + "/" +
                        std::to_string(int32_t(order_.U32(v + 4)));
            break;
        case 7: { // Undefined: every byte, "b,b,b"
            // Written straight into the text: a maker note runs to tens of
            // kilobytes and is formatted on every selection change.
            std::string& s = row.Value;
            s.resize(size_t(need) * 4);
            char* out = s.data();
            for (int64_t i = 0; i < need; ++i) {
                const unsigned b = v[i];
                if (b >= 100) *out++ = char('0' + b / 100);
                if (b >= 10) *out++ = char('0' + b / 10 % 10);
                *out++ = char('0' + b % 10);
                *out++ = ',';
            }
            s.resize(size_t(out - s.data()) - 1); // no trailing comma
            break;
        }
        default: // Float, Double
            break;
        }
        TExifValues values;
        values.Type = row.Type;
        values.Count = row.Count;
        values.Bytes = v;
        values.Size = size_t(need);
        values.Intel = order_.intel;
        // GPS coordinates and the altitude read their reference tag, which
        // stands just before them (1 before 2, 3 before 4, 5 before 6, ...).
        std::string ref;
        if (kind == TExifDirectory::Gps) {
            if (row.Type == 2 || (row.Tag == 5 && row.Type == 1)) refs_[row.Tag] = row.Value;
            const auto it = refs_.find(uint16_t(row.Tag - 1));
            if (it != refs_.end()) ref = it->second;
        }
        row.Text = ExifDecodedText(kind, row.Tag, values, ref);
        if (row.Text.empty()) row.Text = row.Value;
        return true;
    }

    TSource& src_;
    TOrder order_;
    int64_t base_;
    const TExifRowSink& sink_;
    const TExifLimits& limits_;
    std::set<int64_t> visited_;
    std::vector<uint8_t> entries_, buf_;
    std::map<uint16_t, std::string> refs_;
    int64_t rows_ = 0, valueBytes_ = 0;
    int ifds_ = 0;
};

// Position of the first `a a` pair in the head, or -1.
int FindMark(const std::vector<uint8_t>& head, uint8_t a) {
    const int n = std::min<int>(int(head.size()), kHeadBytes);
    for (int i = 0; i + 1 < n; ++i)
        if (head[size_t(i)] == a && head[size_t(i) + 1] == a) return i;
    return -1;
}

} // namespace

int ExifTypeSize(uint16_t type) {
    static constexpr int kSizes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    return type < 13 ? kSizes[type] : 0;
}

std::string ExifTagDescription(uint16_t tag) {
    const auto* end = std::end(kTagNames);
    const auto* it = std::lower_bound(std::begin(kTagNames), end, tag,
                                      [](const TTagName& t, uint16_t v) { return t.tag < v; });
    if (it != end && it->tag == tag) return it->text;
    return "Undefined (" + std::to_string(tag) + ")";
}

std::string ExifText(const uint8_t* p, size_t n) {
    // Valid UTF-8 (shortest forms, no surrogates) passes as it is.
    bool valid = true;
    for (size_t i = 0; i < n && valid;) {
        const uint8_t c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        if (len == 0 || i + size_t(len) > n) {
            valid = false;
            break;
        }
        const uint8_t c1 = p[i + 1];
        uint8_t lo = 0x80, hi = 0xBF;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
        if (c1 < lo || c1 > hi) valid = false;
        for (int k = 2; k < len && valid; ++k)
            if ((p[i + size_t(k)] & 0xC0) != 0x80) valid = false;
        i += size_t(len);
    }
    if (valid) return std::string(reinterpret_cast<const char*>(p), n);
    std::string s;
    s.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t c = p[i];
        if (c < 0x80) {
            s += char(c);
        } else {
            s += char(0xC0 | c >> 6);
            s += char(0x80 | (c & 0x3F));
        }
    }
    return s;
}

void ReadExif(TStream& stream, const TExifRowSink& sink, const TExifLimits& limits) {
    TSource src(stream);
    int base = FindMark(src.Head(), 'I');
    bool intel = true;
    if (base < 0) {
        base = FindMark(src.Head(), 'M');
        intel = false;
    }
    if (base < 0) return;
    const TOrder order{intel};
    // The header lies beyond the first 64 bytes when the mark stands late:
    // it comes from the data like everything else.
    uint8_t header[6];
    if (!src.ReadAt(base + 2, header, 6)) return;
    if (order.U16(header) < 42) return;
    TWalker walker(src, order, base, sink, limits);
    try {
        const uint32_t exifOffset = walker.WalkChain(order.U32(header + 2), TExifDirectory::Main);
        // The interoperability directory is not entered.
        if (exifOffset != 0) walker.WalkChain(exifOffset, TExifDirectory::Exif);
        if (walker.gpsOffset != 0) walker.WalkChain(walker.gpsOffset, TExifDirectory::Gps);
    } catch (const TStop&) {
    }
}

std::vector<TExifRow> ReadExifRows(TStream& stream, const TExifLimits& limits) {
    std::vector<TExifRow> rows;
    ReadExif(stream, [&](const TExifRow& r) { rows.push_back(r); }, limits);
    return rows;
}
