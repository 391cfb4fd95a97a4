#include "formats/jpeg.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "core/exceptions.h"
#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/jpeg_glue.h"
#include "formats/register.h"

std::atomic<int> JPEGReadMethod{0};
std::atomic<int> JPEGWriteMethod{2};
std::atomic<int> JPEGQuality{80};
std::atomic<bool> JPEGProgressive{false};

namespace {
[[noreturn]] void Fail(const std::string& text) {
    throw EPGJPGFileFormatReaderWriter("JPG: " + text);
}

[[noreturn]] void FailCreate(const TPGJpegError& err) {
    if (JpegVersionError(err)) throw EPGJPGFileFormatReaderWriter("JPG: Invalid library version");
    JpegThrow(err);
}

J_DCT_METHOD DctMethod(int option, J_DCT_METHOD fallback) {
    switch (option) {
    case 0:
        return JDCT_ISLOW;
    case 1:
        return JDCT_IFAST;
    case 2:
        return JDCT_FLOAT;
    default:
        return fallback;
    }
}

// Opens the decoder on `stream` and reads the header; warnings act by
// `action`. With `keepMetadata` the EXIF, ICC and comment segments are kept.
std::unique_ptr<TPGJpegDecoder> OpenDecoder(TStream& stream, TPGWarningAction action,
                                            bool keepMetadata = false) {
    auto d = std::make_unique<TPGJpegDecoder>();
    d->err.warningAction = action;
    if (!JpegCreateDecompress(d.get(), &stream, PGMaxImageBytes)) FailCreate(d->err);
    if (keepMetadata && !JpegKeepMetadataMarkers(d.get())) JpegThrow(d->err);
    if (!JpegReadHeader(d.get())) JpegThrow(d->err);
    return d;
}

const char kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
const char kICCHeader[] = "ICC_PROFILE"; // with its 0, then sequence number and count
constexpr size_t kICCHeaderSize = sizeof kICCHeader + 2;
// Bytes of profile one APP2 segment carries: 65,535 less the length field and header.
constexpr size_t kICCChunk = 65535 - 2 - kICCHeaderSize;

bool StartsWith(const jpeg_marker_struct* m, const char* head, size_t n) {
    return m->data_length >= n && std::memcmp(m->data, head, n) == 0;
}

// The metadata of the segments kept while the header was read. The ICC
// profile counts only when its chunks are complete: one count for all, and
// every sequence number from 1 to it exactly once.
TPGMetadata MetadataOf(const jpeg_decompress_struct& c) {
    TPGMetadata meta;
    std::vector<const jpeg_marker_struct*> chunks(256, nullptr);
    int chunkCount = -1;
    bool iccBroken = false;
    for (const jpeg_marker_struct* m = c.marker_list; m; m = m->next) {
        if (m->data_length != m->original_length) continue; // cut short
        if (m->marker == JPEG_APP0 + 1 && meta.Exif.empty() &&
            StartsWith(m, kExifHeader, sizeof kExifHeader)) {
            std::vector<uint8_t> block(m->data + sizeof kExifHeader, m->data + m->data_length);
            if (IsExifBlock(block)) meta.Exif = std::move(block);
        } else if (m->marker == JPEG_APP0 + 2 && StartsWith(m, kICCHeader, sizeof kICCHeader)) {
            if (m->data_length < kICCHeaderSize) {
                iccBroken = true;
                continue;
            }
            const int seq = m->data[sizeof kICCHeader], count = m->data[sizeof kICCHeader + 1];
            if (chunkCount < 0) chunkCount = count;
            if (count == 0 || count != chunkCount || seq < 1 || seq > count || chunks[size_t(seq)])
                iccBroken = true;
            else
                chunks[size_t(seq)] = m;
        } else if (m->marker == JPEG_COM) {
            meta.AddComment(std::string(reinterpret_cast<const char*>(m->data), m->data_length));
        }
    }
    if (chunkCount > 0 && !iccBroken) {
        std::vector<uint8_t> icc;
        for (int i = 1; i <= chunkCount && !iccBroken; ++i) {
            const jpeg_marker_struct* m = chunks[size_t(i)];
            if (!m) {
                iccBroken = true;
                break;
            }
            icc.insert(icc.end(), m->data + kICCHeaderSize, m->data + m->data_length);
        }
        if (!iccBroken && icc.size() <= kPGMaxICCBytes) meta.ICC = std::move(icc);
    }
    return meta;
}

// Writes the picture's metadata segments after the file's header: the EXIF
// block with the saved size, the ICC profile in chunks, the comments.
void WriteMetadata(TPGJpegEncoder& e, const TPixelGraphic& picture) {
    const TPGMetadata& meta = picture.Metadata();
    if (!meta.Exif.empty()) {
        std::vector<uint8_t> data(kExifHeader, kExifHeader + sizeof kExifHeader);
        const std::vector<uint8_t> block =
            ExifBlockForSave(meta.Exif, picture.GetWidth(), picture.GetHeight());
        data.insert(data.end(), block.begin(), block.end());
        // A block too large for one segment cannot be written as EXIF.
        if (data.size() <= 65533 &&
            !JpegWriteMarker(&e, JPEG_APP0 + 1, data.data(), unsigned(data.size())))
            JpegThrow(e.err);
    }
    const size_t chunks = (meta.ICC.size() + kICCChunk - 1) / kICCChunk;
    if (chunks >= 1 && chunks <= 255) {
        for (size_t i = 0; i < chunks; ++i) {
            const size_t from = i * kICCChunk, n = std::min(kICCChunk, meta.ICC.size() - from);
            std::vector<uint8_t> data(kICCHeader, kICCHeader + sizeof kICCHeader);
            data.push_back(uint8_t(i + 1));
            data.push_back(uint8_t(chunks));
            data.insert(data.end(), meta.ICC.begin() + std::ptrdiff_t(from),
                        meta.ICC.begin() + std::ptrdiff_t(from + n));
            if (!JpegWriteMarker(&e, JPEG_APP0 + 2, data.data(), unsigned(data.size())))
                JpegThrow(e.err);
        }
    }
    for (const std::string& text : meta.Comments) {
        if (text.empty() || text.size() > 65533) continue;
        if (!JpegWriteMarker(&e, JPEG_COM, reinterpret_cast<const JOCTET*>(text.data()),
                             unsigned(text.size())))
            JpegThrow(e.err);
    }
}
} // namespace

int JpegShrinkDenom(int width, int height, int hint) {
    if (hint <= 0 || width <= 0 || height <= 0) return 1;
    for (int d : {8, 4, 2}) {
        const int64_t w = (int64_t(width) + d - 1) / d, h = (int64_t(height) + d - 1) / d;
        if (w >= hint && h >= hint) return d;
    }
    return 1;
}

TJPGFileFormatReader::TJPGFileFormatReader(std::string extension)
    : TFileFormatReader(std::move(extension), "JPEG (JFIF compliant)", true) {}

bool TJPGFileFormatReader::CheckSignature(const uint8_t* header, int size) {
    return size >= 2 && header[0] == 0xFF && header[1] == 0xD8;
}

void TJPGFileFormatReader::Read(TStream& stream, TPixelGraphic& picture, int imageIndex) {
    if (imageIndex != 0) Fail(PGMessage(7, "Index"));
    picture.SetGamma(DisplayGamma);
    auto d = OpenDecoder(stream, picture.ReadWarningAction(), true);
    jpeg_decompress_struct& c = d->cinfo;
    picture.SetMetadata(MetadataOf(c));

    c.scale_num = 1;
    c.scale_denom = unsigned(JpegShrinkDenom(int(c.image_width), int(c.image_height),
                                             picture.LoadSizeHint()));
    c.dct_method = picture.FastRead() ? JDCT_IFAST : DctMethod(JPEGReadMethod, JDCT_ISLOW);
    c.quantize_colors = FALSE;
    c.two_pass_quantize = FALSE;
    c.dither_mode = JDITHER_NONE;
    // Colour arrives in the picture's own blue, green, red byte order.
    if (c.jpeg_color_space == JCS_YCbCr || c.jpeg_color_space == JCS_RGB)
        c.out_color_space = JCS_EXT_BGR;
    if (!JpegCalcOutput(d.get())) JpegThrow(d->err);

    // The picture is made before the decoder allocates its own buffers, so
    // the size cap stops an oversized file before any large allocation.
    TPGPixelFormat format;
    if (c.output_components == 1)
        format = pg8Bit;
    else if (c.output_components == 3)
        format = pg24Bit;
    else
        Fail(PGMessage(30));
    picture.SetFormat(int(c.output_width), int(c.output_height), format);
    if (format == pg8Bit) picture.SetPaletteIdent(pGray256);

    const int height = int(c.output_height);
    bool aborted = false;
    {
        TPGProgressScope progress(picture, this);
        // The scans of a progressive file are all read before the first
        // row; they report step 0 and may be aborted like the rows.
        struct TScanAbort {
            TPGProgressScope& progress;
            int height;
        } scanAbort{progress, height};
        d->progress.abortContext = &scanAbort;
        d->progress.abortCheck = [](void* context) {
            auto* a = static_cast<TScanAbort*>(context);
            return a->progress.Step(0, a->height);
        };
        const bool started = JpegStartDecompress(d.get());
        d->progress.abortCheck = nullptr;
        // An abort before the first row leaves the picture blank, as any
        // aborted read keeps just the rows it got.
        if (!started && d->progress.aborted) return;
        if (!started) JpegThrow(d->err);
        while (int(c.output_scanline) < height) {
            if (!JpegReadRow(d.get(), picture.ScanLine(int(c.output_scanline)))) JpegThrow(d->err);
            if (progress.Step(int(c.output_scanline), height)) {
                aborted = true;
                break;
            }
        }
    }
    // An aborted read keeps its rows; finishing would complain about the
    // rows not read, so the decoder is dropped instead.
    if (aborted) return;
    if (!JpegFinishDecompress(d.get())) JpegThrow(d->err);
}

void TJPGFileFormatReader::GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) {
    if (imageIndex != 0) Fail(PGMessage(20, "Index"));
    auto d = OpenDecoder(stream, pgwaRaise);
    const jpeg_decompress_struct& c = d->cinfo;
    static const char* const kSpaces[] = {"unknown", "GrayScale", "RGB", "YCbCr", "CMYK", "YCbCrK"};
    const int space = int(c.jpeg_color_space);
    std::string sub = space >= 0 && space <= 5 ? kSpaces[space] : "";
    if (c.progressive_mode) sub += ", Progressive";
    if (c.saw_Adobe_marker) sub = "Adope, " + sub;
    if (c.saw_JFIF_marker) sub = "JFIF, " + sub;
    info = TPGImageInfo{};
    info.SubType = sub;
    info.Width = int(c.image_width);
    info.Height = int(c.image_height);
    static const char* const kColors[] = {"256", "64K", "16.7M", "4294.9M"};
    const int n = c.num_components;
    info.Colors = n >= 1 && n <= 4 ? kColors[n - 1] : "?";
    info.BitsPerPixel = 8 * n;
    info.GraphicCount = 1;
}

TJPGFileFormatWriter::TJPGFileFormatWriter(std::string extension, bool listed)
    : TFileFormatWriter(std::move(extension), "JPEG (JFIF compliant)", listed,
                        CanWrite(cr256Grays) | CanWrite(cr16M)) {}

void TJPGFileFormatWriter::Write(TStream& stream, TPixelGraphic& picture) {
    auto e = std::make_unique<TPGJpegEncoder>();
    e->err.warningAction = picture.ReadWarningAction();
    if (!JpegCreateCompress(e.get(), &stream)) FailCreate(e->err);

    picture.IdentifyPalette();
    const bool gray = picture.PixelFormat() == pg8Bit && picture.PaletteIdent() == pGray256;
    if (!gray && picture.PixelFormat() != pg24Bit) Fail(PGMessage(20, "BitCount"));

    TPGJpegWriteSettings s;
    s.width = JDIMENSION(picture.GetWidth());
    s.height = JDIMENSION(picture.GetHeight());
    // Colour rows go to the library in their own blue, green, red order.
    s.components = gray ? 1 : 3;
    s.inColorSpace = gray ? JCS_GRAYSCALE : JCS_EXT_BGR;
    s.progressive = JPEGProgressive;
    s.quality = JPEGQuality;
    s.dct = DctMethod(JPEGWriteMethod, JDCT_FLOAT);
    if (!JpegStartCompress(e.get(), &s)) JpegThrow(e->err);
    WriteMetadata(*e, picture);

    const int height = picture.GetHeight();
    {
        TPGProgressScope progress(picture, this);
        while (int(e->cinfo.next_scanline) < height) {
            const int y = int(e->cinfo.next_scanline);
            if (!JpegWriteRow(e.get(), picture.ScanLine(y))) JpegThrow(e->err);
            (void)progress.Step(int(e->cinfo.next_scanline),
                                height); // a writer finishes what it began
        }
    }
    if (!JpegFinishCompress(e.get())) JpegThrow(e->err);
}

void RegisterJPEGFormats() {
    RegisterFileFormatReader(std::make_unique<TJPGFileFormatReader>());
    RegisterFileFormatReader(std::make_unique<TJPEGFileFormatReader>());
    RegisterFileFormatReader(std::make_unique<TJIFFileFormatReader>());
    RegisterFileFormatWriter(std::make_unique<TJPGFileFormatWriter>());
    RegisterFileFormatWriter(std::make_unique<TJPEGFileFormatWriter>());
    RegisterFileFormatWriter(std::make_unique<TJIFFileFormatWriter>());
}
