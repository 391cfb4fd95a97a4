#include "formats/heif.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/avif.h"
#include "formats/modernio.h"
#include "formats/register.h"
#include "formats/rgbarows.h"

namespace {

[[noreturn]] void Fail(const std::string& text) { throw EPGHEIFFileFormatReader("HEIF: " + text); }

void Check(const heif_error& e) {
    if (e.code == heif_error_Ok) return;
    if (e.code == heif_error_Invalid_input && e.subcode == heif_suberror_End_of_data) Fail(PGMessage(32));
    Fail(e.message && *e.message ? e.message : "Invalid data");
}

// Decoding: three channels and alpha in libheif's planes (up to 16 bits),
// its interleaved 8-bit copy, and our 24-bit store.
constexpr int64_t kDecodeBytesPerPixel = 8 + 4 + 3;

struct TContext {
    std::vector<uint8_t> data;
    std::unique_ptr<heif_context, void (*)(heif_context*)> ctx{nullptr, heif_context_free};
    std::vector<heif_item_id> images; // the primary image first, then the other top-level ones
};

struct THandle {
    heif_image_handle* h = nullptr;
    ~THandle() {
        if (h) heif_image_handle_release(h);
    }
};

TContext Open(TStream& stream) {
    static std::once_flag once;
    std::call_once(once, [] { heif_init(nullptr); });
    if (!StreamFitsCap(stream)) Fail(PGMessage(27, "file"));
    TContext c;
    c.data = ReadRestOfStream(stream);
    c.ctx.reset(heif_context_alloc());
    if (!c.ctx) Fail("Out of memory");
    // libheif refuses images wider or higher than this before decoding;
    // the whole picture is checked against the cap below, before decoding.
    heif_context_set_maximum_image_size_limit(c.ctx.get(), 65535);
    Check(heif_context_read_from_memory_without_copy(c.ctx.get(), c.data.data(), c.data.size(), nullptr));
    const int n = heif_context_get_number_of_top_level_images(c.ctx.get());
    if (n <= 0) Fail("No image");
    std::vector<heif_item_id> ids(static_cast<size_t>(n));
    heif_context_get_list_of_top_level_image_IDs(c.ctx.get(), ids.data(), n);
    heif_item_id primary = 0;
    Check(heif_context_get_primary_image_ID(c.ctx.get(), &primary));
    c.images.push_back(primary);
    for (heif_item_id id : ids)
        if (id != primary) c.images.push_back(id);
    return c;
}

// A bounded walk over the file's boxes for the canvases libheif allocates
// before it decodes anything: a "grid" or "iovl" item states its own output
// size, which need not match the size the item's "ispe" reports.
class TBoxReader {
public:
    TBoxReader(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    bool Has(size_t k) const { return k <= n_ - at_; }
    uint64_t Get(size_t bytes) {
        if (!Has(bytes)) {
            at_ = n_;
            ok_ = false;
            return 0;
        }
        uint64_t v = 0;
        for (size_t i = 0; i < bytes; ++i) v = (v << 8) | p_[at_++];
        return v;
    }
    bool Ok() const { return ok_; }

private:
    const uint8_t* p_;
    size_t n_;
    size_t at_ = 0;
    bool ok_ = true;
};

struct TBox {
    uint32_t type = 0;
    const uint8_t* body = nullptr;
    size_t size = 0;
};

constexpr uint32_t FourCC(const char (&t)[5]) {
    return (uint32_t(uint8_t(t[0])) << 24) | (uint32_t(uint8_t(t[1])) << 16) | (uint32_t(uint8_t(t[2])) << 8) |
           uint8_t(t[3]);
}

// The boxes laid one after another in [p, p + n); a box that claims more
// than is there ends the list.
std::vector<TBox> Boxes(const uint8_t* p, size_t n) {
    std::vector<TBox> out;
    size_t at = 0;
    while (n - at >= 8 && out.size() < 4096) {
        uint64_t size = (uint64_t(p[at]) << 24) | (uint64_t(p[at + 1]) << 16) | (uint64_t(p[at + 2]) << 8) | p[at + 3];
        const uint32_t type = uint32_t((uint64_t(p[at + 4]) << 24) | (uint64_t(p[at + 5]) << 16) |
                                       (uint64_t(p[at + 6]) << 8) | p[at + 7]);
        size_t head = 8;
        if (size == 1) {
            if (n - at < 16) break;
            size = 0;
            for (int i = 0; i < 8; ++i) size = (size << 8) | p[at + 8 + size_t(i)];
            head = 16;
        } else if (size == 0) {
            size = n - at;
        }
        if (size < head || size > n - at) break;
        out.push_back({type, p + at + head, size_t(size) - head});
        at += size_t(size);
    }
    return out;
}

// The largest canvas, in pixels, that a derived item of the file asks for.
int64_t LargestDerivedCanvas(const std::vector<uint8_t>& file) {
    const TBox* meta = nullptr;
    const std::vector<TBox> top = Boxes(file.data(), file.size());
    for (const TBox& b : top)
        if (b.type == FourCC("meta")) meta = &b;
    if (!meta || meta->size < 4) return 0;
    const std::vector<TBox> boxes = Boxes(meta->body + 4, meta->size - 4);
    std::vector<uint32_t> derived; // item ids of grids and overlays
    std::vector<bool> overlay;
    const TBox* iloc = nullptr;
    const TBox* idat = nullptr;
    for (const TBox& b : boxes) {
        if (b.type == FourCC("iloc")) iloc = &b;
        if (b.type == FourCC("idat")) idat = &b;
        if (b.type != FourCC("iinf") || b.size < 4) continue;
        const size_t count = b.body[0] == 0 ? 2 : 4;
        if (b.size < 4 + count) continue;
        for (const TBox& e : Boxes(b.body + 4 + count, b.size - 4 - count)) {
            if (e.type != FourCC("infe") || e.size < 4) continue;
            TBoxReader r(e.body, e.size);
            const uint64_t version = r.Get(1);
            r.Get(3);
            if (version < 2) continue;
            const uint32_t id = uint32_t(r.Get(version == 2 ? 2 : 4));
            r.Get(2);
            const uint32_t type = uint32_t(r.Get(4));
            if (!r.Ok()) continue;
            if (type == FourCC("grid") || type == FourCC("iovl")) {
                derived.push_back(id);
                overlay.push_back(type == FourCC("iovl"));
            }
        }
    }
    if (derived.empty() || !iloc) return 0;
    int64_t largest = 0;
    TBoxReader r(iloc->body, iloc->size);
    const uint64_t version = r.Get(1);
    r.Get(3);
    const uint64_t sizes = r.Get(2);
    const size_t offsetSize = size_t(sizes >> 12), lengthSize = size_t((sizes >> 8) & 15),
                 baseSize = size_t((sizes >> 4) & 15), indexSize = version >= 1 ? size_t(sizes & 15) : 0;
    const uint64_t items = r.Get(version < 2 ? 2 : 4);
    for (uint64_t i = 0; i < items && r.Ok(); ++i) {
        const uint32_t id = uint32_t(r.Get(version < 2 ? 2 : 4));
        const uint64_t method = version >= 1 ? (r.Get(2) & 15) : 0;
        r.Get(2);
        const uint64_t base = r.Get(baseSize);
        const uint64_t extents = r.Get(2);
        // The item's first bytes, gathered over its extents.
        std::vector<uint8_t> head;
        for (uint64_t k = 0; k < extents && r.Ok(); ++k) {
            r.Get(indexSize);
            const uint64_t offset = r.Get(offsetSize), length = r.Get(lengthSize);
            const uint8_t* from = method == 1 && idat ? idat->body : file.data();
            const size_t have = method == 1 && idat ? idat->size : file.size();
            if (method > 1 || base > have || offset > have - base) continue;
            const uint64_t start = base + offset;
            uint64_t take = std::min<uint64_t>(have - start, 24 - std::min<size_t>(24, head.size()));
            if (length != 0) take = std::min(take, length);
            head.insert(head.end(), from + start, from + start + take);
        }
        const auto it = std::find(derived.begin(), derived.end(), id);
        if (it == derived.end() || head.size() < 2) continue;
        TBoxReader d(head.data(), head.size());
        d.Get(1);
        const bool wide = (d.Get(1) & 1) != 0;
        d.Get(overlay[size_t(it - derived.begin())] ? 8 : 2); // fill values, or rows and columns
        const int64_t w = int64_t(d.Get(wide ? 4 : 2)), h = int64_t(d.Get(wide ? 4 : 2));
        if (!d.Ok()) continue;
        if (w > INT32_MAX || h > INT32_MAX) return INT64_MAX;
        largest = std::max(largest, w * h);
    }
    return largest;
}

// The item of picture `index`, and the size it is shown at.
void OpenImage(TContext& c, int index, THandle& handle) {
    if (index < 0 || size_t(index) >= c.images.size()) Fail(PGMessage(7, "Index"));
    Check(heif_context_get_image_handle(c.ctx.get(), c.images[size_t(index)], &handle.h));
}

TPictureMetadataBytes Metadata(heif_image_handle* h) {
    TPictureMetadataBytes m;
    heif_item_id exif = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(h, "Exif", &exif, 1) == 1) {
        const size_t size = heif_image_handle_get_metadata_size(h, exif);
        std::vector<uint8_t> block(size);
        if (size > 4 && heif_image_handle_get_metadata(h, exif, block.data()).code == heif_error_Ok) {
            // The block starts with the offset of the TIFF header after it.
            const size_t skip = 4 + ((size_t(block[0]) << 24) | (size_t(block[1]) << 16) |
                                     (size_t(block[2]) << 8) | block[3]);
            if (skip < size) m.exif.assign(block.begin() + long(skip), block.end());
        }
    }
    const size_t icc = heif_image_handle_get_raw_color_profile_size(h);
    if (icc > 0) {
        m.icc.resize(icc);
        if (heif_image_handle_get_raw_color_profile(h, m.icc.data()).code != heif_error_Ok) m.icc.clear();
    }
    return m;
}

// The thumbnail item to decode instead of the image when the caller needs
// no more than `hint` pixels on the short side, or nullptr.
heif_image_handle* ThumbnailFor(heif_image_handle* h, int hint) {
    if (hint <= 0) return nullptr;
    const int n = heif_image_handle_get_number_of_thumbnails(h);
    if (n <= 0) return nullptr;
    std::vector<heif_item_id> ids(static_cast<size_t>(n));
    heif_image_handle_get_list_of_thumbnail_IDs(h, ids.data(), n);
    heif_image_handle* best = nullptr;
    for (heif_item_id id : ids) {
        heif_image_handle* t = nullptr;
        if (heif_image_handle_get_thumbnail(h, id, &t).code != heif_error_Ok || !t) continue;
        const int tw = heif_image_handle_get_width(t), th = heif_image_handle_get_height(t);
        // Only a thumbnail of the image's own shape stands in for it.
        const int64_t w = heif_image_handle_get_width(h), hh = heif_image_handle_get_height(h);
        const bool sameShape = std::abs(int64_t(tw) * hh - int64_t(th) * w) <= std::max<int64_t>(w, hh);
        if (tw >= hint && th >= hint && sameShape &&
            (!best || tw < heif_image_handle_get_width(best))) {
            if (best) heif_image_handle_release(best);
            best = t;
        } else {
            heif_image_handle_release(t);
        }
    }
    return best;
}

} // namespace

bool THEICFileFormatReader::CheckSignature(const uint8_t* h, int size) {
    if (size < 12 || std::memcmp(h + 4, "ftyp", 4) != 0) return false;
    static const char* const kBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx",
                                          "hevm", "hevs", "mif1", "msf1", "mif2"};
    for (const char* b : kBrands)
        if (std::memcmp(h + 8, b, 4) == 0) return true;
    return false;
}

void THEICFileFormatReader::Read(TStream& stream, TPixelGraphic& picture, int imageIndex) {
    {
        // A general "mif1" file whose brands say AVIF is read as AVIF.
        uint8_t head[256];
        const int64_t at = stream.Position();
        const int64_t n = stream.Read(head, sizeof head);
        stream.SetPosition(at);
        if (n > 0 && FtypHasAVIFBrand(head, size_t(n))) {
            TAVIFFileFormatReader avif;
            avif.Read(stream, picture, imageIndex);
            return;
        }
    }
    TContext c = Open(stream);
    THandle image;
    OpenImage(c, imageIndex, image);
    THandle thumb;
    thumb.h = ThumbnailFor(image.h, picture.LoadSizeHint());
    heif_image_handle* h = thumb.h ? thumb.h : image.h;
    const int w = heif_image_handle_get_width(h), hh = heif_image_handle_get_height(h);
    if (!FitsPictureCap(w, hh, kDecodeBytesPerPixel)) RaisePictureCap();
    // A grid or overlay canvas past the cap is refused before libheif makes it.
    const int64_t canvas = LargestDerivedCanvas(c.data);
    if (canvas > 0 && !FitsPictureCap(canvas, 1, kDecodeBytesPerPixel)) RaisePictureCap();
    const bool alpha = heif_image_handle_has_alpha_channel(h) != 0;

    picture.SetGamma(DisplayGamma);
    TPGProgressScope progress(picture, this);
    std::unique_ptr<heif_decoding_options, void (*)(heif_decoding_options*)> opts(heif_decoding_options_alloc(),
                                                                                  heif_decoding_options_free);
    if (!opts) Fail("Out of memory");
    opts->convert_hdr_to_8bit = 1;
    heif_image* img = nullptr;
    Check(heif_decode_image(h, &img, heif_colorspace_RGB,
                            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, opts.get()));
    std::unique_ptr<heif_image, void (*)(const heif_image*)> decoded(img, heif_image_release);
    // The decoded size, with the container's rotation applied.
    const int dw = heif_image_get_width(img, heif_channel_interleaved);
    const int dh = heif_image_get_height(img, heif_channel_interleaved);
    int stride = 0;
    const uint8_t* pixels = heif_image_get_plane_readonly(img, heif_channel_interleaved, &stride);
    if (!pixels || dw <= 0 || dh <= 0 || stride < dw * (alpha ? 4 : 3)) Fail("Invalid data");
    if (!FitsPictureCap(dw, dh, kDecodeBytesPerPixel)) RaisePictureCap();
    picture.SetFormat(dw, dh, pg24Bit);
    const TRGB bg = picture.BackgroundColor();
    for (int y = 0; y < dh; ++y) {
        const uint8_t* src = pixels + int64_t(y) * stride;
        if (alpha)
            rgbarows::RGBAToBGR(src, picture.ScanLine(y), dw, bg);
        else
            rgbarows::RGBToBGR(src, picture.ScanLine(y), dw);
    }
    HandOnMetadata(picture, Metadata(image.h), true);
    progress.Step(1, 1);
}

void THEICFileFormatReader::GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) {
    TContext c = Open(stream);
    THandle image;
    OpenImage(c, imageIndex, image);
    info = TPGImageInfo{};
    info.GraphicCount = int(c.images.size());
    info.Width = heif_image_handle_get_width(image.h);
    info.Height = heif_image_handle_get_height(image.h);
    const bool alpha = heif_image_handle_has_alpha_channel(image.h) != 0;
    const int bits = std::max(1, heif_image_handle_get_luma_bits_per_pixel(image.h));
    info.BitsPerPixel = bits * (alpha ? 4 : 3);
    info.Colors = "16.7 M";
    info.SubType = std::to_string(bits) + " bits";
    if (alpha) info.Options = "Alpha";
}

void RegisterHEIFFormats() {
    RegisterFileFormatReader(std::make_unique<THEICFileFormatReader>());
    RegisterFileFormatReader(std::make_unique<THEIFFileFormatReader>());
}
