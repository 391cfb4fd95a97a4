#include "core/metadata.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace {

constexpr uint16_t kExifPointer = 34665, kGpsPointer = 34853, kInteropPointer = 40965;
constexpr uint16_t kICCTag = 34675;
constexpr uint16_t kOrientation = 274;
constexpr uint16_t kPixelXDimension = 0xA002, kPixelYDimension = 0xA003;
// A directory with more entries than this is taken as damage.
constexpr uint32_t kMaxEntries = 4096;

struct TOrder {
    bool be = false;
    uint32_t U16(const uint8_t* p) const { return be ? (p[0] << 8) | p[1] : p[0] | (p[1] << 8); }
    uint32_t U32(const uint8_t* p) const {
        return be ? (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]
                  : uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                        (uint32_t(p[3]) << 24);
    }
    void Put16(uint8_t* p, uint32_t v) const {
        if (be) {
            p[0] = uint8_t(v >> 8);
            p[1] = uint8_t(v);
        } else {
            p[0] = uint8_t(v);
            p[1] = uint8_t(v >> 8);
        }
    }
    void Put32(uint8_t* p, uint32_t v) const {
        for (int i = 0; i < 4; ++i) p[be ? 3 - i : i] = uint8_t(v >> (8 * i));
    }
};

bool HeaderOrder(const uint8_t* h, TOrder& o) {
    if (h[0] == 'I' && h[1] == 'I')
        o.be = false;
    else if (h[0] == 'M' && h[1] == 'M')
        o.be = true;
    else
        return false;
    return o.U16(h + 2) == 42;
}

// Calls `visit` with the position of every 12-byte entry of the directory at
// `dir` inside `block` (only entries wholly inside).
template <typename F>
void ForEachEntry(const std::vector<uint8_t>& block, const TOrder& o, uint64_t dir, F visit) {
    if (dir + 2 > block.size()) return;
    const uint32_t n = o.U16(block.data() + dir);
    for (uint32_t i = 0; i < n && i < kMaxEntries; ++i) {
        const uint64_t at = dir + 2 + uint64_t(i) * 12;
        if (at + 12 > block.size()) return;
        visit(size_t(at));
    }
}

// The offset a pointer tag of the directory at `dir` holds; 0 when absent.
uint32_t PointerOf(const std::vector<uint8_t>& block, const TOrder& o, uint64_t dir, uint16_t tag) {
    uint32_t found = 0;
    ForEachEntry(block, o, dir, [&](size_t at) {
        if (o.U16(&block[at]) == tag && (o.U16(&block[at + 2]) == 4 || o.U16(&block[at + 2]) == 13))
            found = o.U32(&block[at + 8]);
    });
    return found;
}

// Sets a one-value SHORT or LONG entry in place; a SHORT that cannot hold
// `value` becomes a LONG (both sit inside the entry).
void SetCount1(std::vector<uint8_t>& block, const TOrder& o, size_t at, uint32_t value) {
    const uint32_t type = o.U16(&block[at + 2]);
    if (o.U32(&block[at + 4]) != 1 || (type != 3 && type != 4)) return;
    if (type == 3 && value <= 0xFFFF) {
        o.Put16(&block[at + 8], value);
        o.Put16(&block[at + 10], 0);
    } else {
        o.Put16(&block[at + 2], 4);
        o.Put32(&block[at + 8], value);
    }
}

void AppendU16(std::vector<uint8_t>& v, const TOrder& o, uint32_t x) {
    v.resize(v.size() + 2);
    o.Put16(&v[v.size() - 2], x);
}
void AppendU32(std::vector<uint8_t>& v, const TOrder& o, uint32_t x) {
    v.resize(v.size() + 4);
    o.Put32(&v[v.size() - 4], x);
}

} // namespace

bool TPGMetadata::AddComment(std::string text) {
    size_t total = text.size();
    for (const std::string& c : Comments) total += c.size();
    if (Comments.size() >= kPGMaxComments || total > kPGMaxCommentBytes) return false;
    Comments.push_back(std::move(text));
    return true;
}

int ExifFieldTypeSize(uint16_t type) {
    static const int kSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
    return type < sizeof kSizes / sizeof kSizes[0] ? kSizes[type] : 0;
}

bool IsExifBlock(const std::vector<uint8_t>& block) {
    TOrder o;
    return block.size() >= 8 && HeaderOrder(block.data(), o) &&
           uint64_t(o.U32(block.data() + 4)) + 2 <= block.size();
}

std::vector<uint8_t> ExifBlockForSave(const std::vector<uint8_t>& source, int width, int height) {
    std::vector<uint8_t> block = source;
    if (!IsExifBlock(block) || width < 1 || height < 1) return block;
    TOrder o;
    HeaderOrder(block.data(), o);
    const uint32_t exif = PointerOf(block, o, o.U32(block.data() + 4), kExifPointer);
    if (exif == 0) return block;
    ForEachEntry(block, o, exif, [&](size_t at) {
        const uint32_t tag = o.U16(&block[at]);
        if (tag == kPixelXDimension) SetCount1(block, o, at, uint32_t(width));
        if (tag == kPixelYDimension) SetCount1(block, o, at, uint32_t(height));
    });
    return block;
}

int ExifBlockOrientation(const std::vector<uint8_t>& block) {
    if (!IsExifBlock(block)) return 1;
    TOrder o;
    HeaderOrder(block.data(), o);
    int value = 1;
    ForEachEntry(block, o, o.U32(block.data() + 4), [&](size_t at) {
        if (o.U16(&block[at]) == kOrientation && o.U16(&block[at + 2]) == 3) {
            const uint32_t v = o.U16(&block[at + 8]);
            if (v >= 1 && v <= 8) value = int(v);
        }
    });
    return value;
}

void SetExifBlockOrientation(std::vector<uint8_t>& block, int orientation) {
    if (!IsExifBlock(block) || orientation < 1 || orientation > 8) return;
    TOrder o;
    HeaderOrder(block.data(), o);
    ForEachEntry(block, o, o.U32(block.data() + 4), [&](size_t at) {
        if (o.U16(&block[at]) == kOrientation) SetCount1(block, o, at, uint32_t(orientation));
    });
}

bool IsDescriptiveIfd0Tag(uint16_t tag) {
    switch (tag) {
    case 269: // DocumentName
    case 270: // ImageDescription
    case 271: // Make
    case 272: // Model
    case 274: // Orientation
    case 305: // Software
    case 306: // DateTime
    case 315: // Artist
    case 33432: // Copyright
        return true;
    default:
        return false;
    }
}

void SwapExifEntryOrder(TExifEntry& e) {
    const int size = ExifFieldTypeSize(e.Type);
    // Rationals are two LONGs each; bytes need nothing.
    const int unit = (e.Type == 5 || e.Type == 10) ? 4 : size;
    if (unit <= 1) return;
    for (size_t i = 0; i + size_t(unit) <= e.Value.size(); i += size_t(unit))
        std::reverse(e.Value.begin() + std::ptrdiff_t(i), e.Value.begin() + std::ptrdiff_t(i + unit));
}

bool ReadExifDirectories(const TExifByteSource& read, uint64_t size, TExifDirectories& dirs) {
    dirs = TExifDirectories{};
    uint8_t h[8];
    TOrder o;
    if (size < 8 || !read(0, 8, h) || !HeaderOrder(h, o)) return false;
    dirs.BigEndian = o.be;
    // The value bytes the three directories may take together.
    uint64_t budget = kPGMaxExifBytes;
    std::set<uint64_t> seen;
    auto readDir = [&](uint64_t dir, std::vector<TExifEntry>* out, bool ifd0, uint32_t* exifAt,
                       uint32_t* gpsAt) {
        uint8_t c[2];
        if (!seen.insert(dir).second || dir + 2 > size || !read(dir, 2, c)) return false;
        const uint32_t n = std::min(o.U16(c), kMaxEntries);
        std::vector<uint8_t> raw(size_t(n) * 12);
        if (dir + 2 + raw.size() > size || !read(dir + 2, raw.size(), raw.data())) return false;
        for (uint32_t i = 0; i < n; ++i) {
            const uint8_t* e = raw.data() + size_t(i) * 12;
            TExifEntry entry;
            entry.Tag = uint16_t(o.U16(e));
            entry.Type = uint16_t(o.U16(e + 2));
            entry.Count = o.U32(e + 4);
            const int ts = ExifFieldTypeSize(entry.Type);
            if (ts == 0) continue;
            if (ifd0 && entry.Tag == kExifPointer) {
                if (exifAt) *exifAt = o.U32(e + 8);
                continue;
            }
            if (ifd0 && entry.Tag == kGpsPointer) {
                if (gpsAt) *gpsAt = o.U32(e + 8);
                continue;
            }
            const bool icc = ifd0 && entry.Tag == kICCTag;
            if (ifd0 && !icc && !IsDescriptiveIfd0Tag(entry.Tag)) continue;
            // The interoperability directory would need offsets of its own.
            if (!ifd0 && entry.Tag == kInteropPointer) continue;
            const uint64_t bytes = uint64_t(entry.Count) * uint64_t(ts);
            // A count of 0 carries nothing to keep.
            if (bytes == 0 || bytes > (icc ? kPGMaxICCBytes : budget)) continue;
            entry.Value.resize(size_t(bytes));
            if (bytes <= 4) {
                std::memcpy(entry.Value.data(), e + 8, size_t(bytes));
            } else {
                const uint64_t at = o.U32(e + 8);
                if (at + bytes > size || !read(at, size_t(bytes), entry.Value.data())) continue;
            }
            if (icc) {
                dirs.ICC = std::move(entry.Value);
                continue;
            }
            budget -= bytes;
            out->push_back(std::move(entry));
        }
        return true;
    };
    uint32_t exifAt = 0, gpsAt = 0;
    if (!readDir(o.U32(h + 4), &dirs.Ifd0, true, &exifAt, &gpsAt)) return false;
    if (exifAt) readDir(exifAt, &dirs.ExifIfd, false, nullptr, nullptr);
    if (gpsAt) readDir(gpsAt, &dirs.GpsIfd, false, nullptr, nullptr);
    return true;
}

bool ReadExifDirectories(const std::vector<uint8_t>& block, TExifDirectories& dirs) {
    return ReadExifDirectories(
        [&](uint64_t offset, size_t size, uint8_t* out) {
            if (offset > block.size() || size > block.size() - offset) return false;
            std::memcpy(out, block.data() + offset, size);
            return true;
        },
        block.size(), dirs);
}

std::vector<uint8_t> ExifDirectoryBytes(std::vector<TExifEntry> entries, bool bigEndian,
                                        uint32_t at) {
    const TOrder o{bigEndian};
    std::stable_sort(entries.begin(), entries.end(),
                     [](const TExifEntry& a, const TExifEntry& c) { return a.Tag < c.Tag; });
    std::vector<uint8_t> b;
    AppendU16(b, o, uint32_t(entries.size()));
    const size_t dataStart = 2 + entries.size() * 12 + 4;
    std::vector<uint8_t> area;
    for (const TExifEntry& e : entries) {
        AppendU16(b, o, e.Tag);
        AppendU16(b, o, e.Type);
        AppendU32(b, o, e.Count);
        if (e.Value.size() <= 4) {
            uint8_t v[4] = {};
            std::memcpy(v, e.Value.data(), e.Value.size());
            b.insert(b.end(), v, v + 4);
        } else {
            AppendU32(b, o, uint32_t(at + dataStart + area.size()));
            area.insert(area.end(), e.Value.begin(), e.Value.end());
            if (area.size() % 2) area.push_back(0); // values start on word boundaries
        }
    }
    AppendU32(b, o, 0);
    b.insert(b.end(), area.begin(), area.end());
    return b;
}

TExifEntry ExifLongEntry(uint16_t tag, uint32_t value, bool bigEndian) {
    TExifEntry e{tag, 4, 1, std::vector<uint8_t>(4)};
    TOrder{bigEndian}.Put32(e.Value.data(), value);
    return e;
}

std::vector<uint8_t> BuildExifBlock(const TExifDirectories& dirs) {
    if (dirs.Empty()) return {};
    const bool be = dirs.BigEndian;
    const TOrder o{be};
    // IFD0 with its pointers first; its size does not depend on their values.
    auto ifd0 = [&](uint32_t exifAt, uint32_t gpsAt) {
        std::vector<TExifEntry> entries = dirs.Ifd0;
        if (!dirs.ExifIfd.empty()) entries.push_back(ExifLongEntry(kExifPointer, exifAt, be));
        if (!dirs.GpsIfd.empty()) entries.push_back(ExifLongEntry(kGpsPointer, gpsAt, be));
        return ExifDirectoryBytes(std::move(entries), be, 8);
    };
    const uint32_t exifAt = uint32_t(8 + ifd0(0, 0).size());
    const std::vector<uint8_t> exif =
        dirs.ExifIfd.empty() ? std::vector<uint8_t>{} : ExifDirectoryBytes(dirs.ExifIfd, be, exifAt);
    const uint32_t gpsAt = uint32_t(exifAt + exif.size());
    std::vector<uint8_t> b;
    b.push_back(be ? 'M' : 'I');
    b.push_back(be ? 'M' : 'I');
    AppendU16(b, o, 42);
    AppendU32(b, o, 8);
    const std::vector<uint8_t> first = ifd0(exifAt, gpsAt);
    b.insert(b.end(), first.begin(), first.end());
    b.insert(b.end(), exif.begin(), exif.end());
    if (!dirs.GpsIfd.empty()) {
        const std::vector<uint8_t> gps = ExifDirectoryBytes(dirs.GpsIfd, be, gpsAt);
        b.insert(b.end(), gps.begin(), gps.end());
    }
    return b;
}
