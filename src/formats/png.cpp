#include "formats/png.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "core/colour.h"
#include "core/exceptions.h"
#include "core/filter.h"
#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/png_bands.h"
#include "formats/png_glue.h"
#include "formats/register.h"

std::atomic<bool> WriteGamma{true};
std::atomic<bool> PNGUseFileBackground{true};

namespace {
[[noreturn]] void Fail(const std::string& text) {
    throw EPGPNGFileFormatReaderWriter("PNG: " + text);
}

void CheckLibrary() {
    if (!PngLibraryMatches()) throw EPGPNGFileFormatReaderWriter("PNG: Invalid library version");
}

std::unique_ptr<TPGPngContext> OpenReader(TStream& stream, TPGWarningAction action) {
    auto c = std::make_unique<TPGPngContext>();
    c->stream = &stream;
    c->warningAction = action;
    if (!PngCreateRead(c.get())) PngThrow(*c);
    const long long widest = std::clamp<long long>(PGMaxImageBytes / 8, 1, PNG_UINT_31_MAX);
    if (!PngReadInfo(c.get(), uint32_t(widest))) PngThrow(*c);
    return c;
}

// The metadata chunks libpng kept while reading the header: iCCP, eXIf and
// the tEXt/zTXt/iTXt comments.
TPGMetadata MetadataOf(png_structp png, png_infop info) {
    TPGMetadata meta;
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &length) && profile &&
        length <= kPGMaxICCBytes)
        meta.ICC.assign(profile, profile + length);
    png_bytep exif = nullptr;
    png_uint_32 exifLength = 0;
    if (png_get_eXIf_1(png, info, &exifLength, &exif) && exif && exifLength <= kPGMaxExifBytes) {
        std::vector<uint8_t> block(exif, exif + exifLength);
        if (IsExifBlock(block)) meta.Exif = std::move(block);
    }
    png_textp texts = nullptr;
    int count = 0;
    if (png_get_text(png, info, &texts, &count) > 0 && texts)
        for (int i = 0; i < count; ++i)
            if (texts[i].key && std::strcmp(texts[i].key, "Comment") == 0 && texts[i].text)
                meta.AddComment(std::string(texts[i].text, texts[i].text_length
                                                               ? texts[i].text_length
                                                               : texts[i].itxt_length));
    return meta;
}

// An 8-bit channel value at a sample depth of 1..16 bits, and back.
png_uint_16 ToDepth(int v, int depth) {
    if (depth >= 16) return png_uint_16(v * 257);
    if (depth == 8) return png_uint_16(v);
    const int max = (1 << depth) - 1;
    return png_uint_16(std::nearbyint(v * max / 255.0));
}
int FromDepth(int v, int depth) {
    if (depth == 8) return v & 255;
    const int max = depth >= 16 ? 65535 : (1 << depth) - 1;
    return std::clamp(int(std::nearbyint(v * 255.0 / max)), 0, 255);
}

// Unpacks rows that libpng delivered as 2-bit pixels (four to a byte, at the
// start of the row) into the picture's 4-bit pixels.
void Expand2Bit(TPixelGraphic& picture) {
    const int w = picture.GetWidth();
    std::vector<uint8_t> packed((size_t(w) * 2 + 7) / 8); // never more than a 4-bit row
    for (int y = 0; y < picture.GetHeight(); ++y) {
        uint8_t* row = picture.ScanLine(y);
        std::memcpy(packed.data(), row, packed.size());
        for (int x = 0; x < w; x += 2) {
            const int a = (packed[size_t(x / 4)] >> (6 - 2 * (x % 4))) & 3;
            const int b =
                x + 1 < w ? (packed[size_t((x + 1) / 4)] >> (6 - 2 * ((x + 1) % 4))) & 3 : 0;
            row[x / 2] = uint8_t((a << 4) | b);
        }
    }
}
} // namespace

bool TPNGFileFormatReader::CheckSignature(const uint8_t* header, int size) {
    static const uint8_t kSig[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    return size >= 8 && std::memcmp(header, kSig, 8) == 0;
}

void TPNGFileFormatReader::Read(TStream& stream, TPixelGraphic& picture, int imageIndex) {
    if (imageIndex != 0) Fail(PGMessage(7, "Index"));
    CheckLibrary();
    picture.SetGamma(DisplayGamma);
    auto c = OpenReader(stream, picture.ReadWarningAction());
    png_structp png = c->png;
    png_infop info = c->info;

    png_uint_32 width = 0, height = 0;
    int depth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr);
    const int channels = png_get_channels(png, info);
    const bool palette = colorType == PNG_COLOR_TYPE_PALETTE;
    picture.SetMetadata(MetadataOf(png, info));

    TPGPixelFormat format;
    if (channels > 2)
        format = pg24Bit;
    else if (depth == 1)
        format = pg1Bit;
    else if (depth <= 4)
        format = pg4Bit;
    else
        format = pg8Bit;

    TPGPngReadSettings s{};
    // Transparency is flattened onto a background, given to libpng at the
    // depth it composes at: the file's own sample depth, except that palette
    // entries are 8 bits and a 16-bit file that is cut to 8 bits takes an
    // 8-bit background (libpng widens it itself).
    if (png_get_valid(png, info, PNG_INFO_tRNS) || (colorType & PNG_COLOR_MASK_ALPHA)) {
        s.background = true;
        png_color_16p file = nullptr;
        const int bgDepth = palette || depth == 16 ? 8 : depth;
        if (PNGUseFileBackground && png_get_bKGD(png, info, &file) && file) {
            // The picture's colour is the file's, scaled from the file's depth.
            const int r = FromDepth(file->red, palette ? 8 : depth),
                      g = FromDepth(file->green, palette ? 8 : depth),
                      b = FromDepth(file->blue, palette ? 8 : depth),
                      k = FromDepth(file->gray, depth);
            s.backgroundColor = *file;
            if (depth == 16) {
                s.backgroundColor.red = png_uint_16(r);
                s.backgroundColor.green = png_uint_16(g);
                s.backgroundColor.blue = png_uint_16(b);
                s.backgroundColor.gray = png_uint_16(k);
            }
            s.backgroundGammaCode = PNG_BACKGROUND_GAMMA_FILE;
            picture.SetBackgroundColor((colorType & PNG_COLOR_MASK_COLOR) ? RGB(r, g, b)
                                                                          : RGB(k, k, k));
        } else {
            const TRGB bg = picture.BackgroundColor();
            const int r = GetRValue(bg), g = GetGValue(bg), b = GetBValue(bg);
            s.backgroundColor.red = ToDepth(r, bgDepth);
            s.backgroundColor.green = ToDepth(g, bgDepth);
            s.backgroundColor.blue = ToDepth(b, bgDepth);
            s.backgroundColor.gray = ToDepth((r + g + b) / 3, bgDepth);
            s.backgroundGammaCode = PNG_BACKGROUND_GAMMA_SCREEN;
        }
    }
    // Only a real gAMA chunk sets the file's gamma; libpng also reports one
    // for an sRGB or iCCP chunk. A usable iCCP profile outranks gAMA: the
    // picture is then managed by its profile, not corrected by the gamma rule.
    double fileGamma = 0;
    if (c->sawGamma && !PGUsableProfile(picture.ICCProfile()) &&
        png_get_gAMA(png, info, &fileGamma) && fileGamma > 0)
        picture.SetGamma(1.0L / (long double)fileGamma);
    s.strip16 = depth == 16;
    s.bgr = colorType == PNG_COLOR_TYPE_RGB || colorType == PNG_COLOR_TYPE_RGB_ALPHA;

    // The picture is made before libpng allocates its row buffers, so the
    // size cap stops an oversized file before any large allocation.
    picture.SetFormat(int(width), int(height), format);
    if (!PngSetTransforms(c.get(), &s)) PngThrow(*c);
    if (png_get_rowbytes(png, info) > size_t(picture.RowBytes())) Fail(PGMessage(33));

    if (palette) {
        // Taken after the transformations: libpng has composited the
        // transparent entries onto the background by now.
        png_colorp entries = nullptr;
        int count = 0;
        png_get_PLTE(png, info, &entries, &count);
        count = std::clamp(count, 0, PixelFormatColors(format));
        picture.SetPaletteCount(count);
        for (int i = 0; i < count; ++i)
            picture.SetPaletteEntry(i, RGB(entries[i].red, entries[i].green, entries[i].blue));
    } else if (channels <= 2) {
        picture.SetPaletteIdent(depth == 1   ? pBlackWhite
                                : depth == 2 ? pGray4
                                : depth == 4 ? pGray16
                                             : pGray256);
    }

    const int h = int(height);
    const int passes = s.passes;
    bool aborted = false;
    bool failed = false;
    {
        TPGProgressScope progress(picture, this);
        for (int pass = 0; pass < passes && !aborted && !failed; ++pass) {
            for (int y = 0; y < h; ++y) {
                if (!PngReadRow(c.get(), picture.ScanLine(y))) {
                    failed = true;
                    break;
                }
                if (progress.Step(y + h * pass, h * passes)) {
                    aborted = true;
                    break;
                }
            }
        }
        // Rows read so far stay, also after an error or an abort, and are
        // shown as the 4-bit pixels they are.
        if (depth == 2) Expand2Bit(picture);
    }
    if (failed) PngThrow(*c);
    if (aborted) return;
    if (!PngReadEnd(c.get())) PngThrow(*c);
}

void TPNGFileFormatReader::GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) {
    if (imageIndex != 0) Fail(PGMessage(20, "Index"));
    CheckLibrary();
    auto c = OpenReader(stream, pgwaRaise);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(c->png, c->info, &width, &height, &depth, &colorType, &interlace, nullptr,
                 nullptr);

    info = TPGImageInfo{};
    std::string sub = (colorType & PNG_COLOR_MASK_PALETTE) ? "palette"
                      : (colorType & PNG_COLOR_MASK_COLOR) ? "RGB"
                                                           : "GrayScale";
    if (colorType & PNG_COLOR_MASK_ALPHA) sub += ", alpha";
    if (interlace == PNG_INTERLACE_ADAM7) sub += ", interlaced";
    info.SubType = sub;

    png_uint_32 valid = png_get_valid(c->png, c->info, 0x3FF);
    if (!c->sawGamma) valid &= ~png_uint_32(PNG_INFO_gAMA);
    if (!c->sawChrm) valid &= ~png_uint_32(PNG_INFO_cHRM);
    static const char* const kNames[] = {"gama", "sbit", "chrm", "plte", "trns",
                                         "bkgd", "hist", "phys", "offs", "time"};
    // oFFs alone does not open the list (it is named only beside the others).
    if (valid & 0x2FF) {
        std::string opts;
        for (int bit = 0; bit < 10; ++bit)
            if (valid & (1u << bit)) opts += (opts.empty() ? "" : ", ") + std::string(kNames[bit]);
        info.Options = "(" + opts + ")";
    }
    info.Width = int(width);
    info.Height = int(height);
    const int pixelDepth = depth * png_get_channels(c->png, c->info);
    info.BitsPerPixel = pixelDepth;
    switch (pixelDepth) {
    case 1:
        info.Colors = "2";
        break;
    case 2:
        info.Colors = "4";
        break;
    case 4:
        info.Colors = "16";
        break;
    case 8:
        info.Colors = "256";
        break;
    case 16:
        info.Colors = "64K?";
        break;
    case 24:
        info.Colors = "16.7M";
        break;
    case 32:
        info.Colors = "16.7M?";
        break;
    default:
        info.Colors = "?";
        break;
    }
    info.GraphicCount = 1;
}

void TPNGFileFormatWriter::Write(TStream& stream, TPixelGraphic& picture) {
    CheckLibrary();
    auto c = std::make_unique<TPGPngContext>();
    c->stream = &stream;
    c->warningAction = picture.ReadWarningAction();
    if (!PngCreateWrite(c.get())) PngThrow(*c);

    picture.IdentifyPalette();
    TPGPngWriteSettings s{};
    s.width = uint32_t(picture.GetWidth());
    s.height = uint32_t(picture.GetHeight());
    png_color pal[256];
    if (picture.PixelFormat() == pg24Bit) {
        s.bitDepth = 8;
        s.colorType = PNG_COLOR_TYPE_RGB;
    } else {
        s.bitDepth = picture.BitsPerPixel();
        if (picture.PaletteIdent() == pGray256) {
            s.colorType = PNG_COLOR_TYPE_GRAY;
        } else {
            s.colorType = PNG_COLOR_TYPE_PALETTE;
            const int n = std::min(picture.PaletteCount(), 256);
            for (int i = 0; i < n; ++i) {
                const TRGB e = picture.PaletteEntry(i);
                pal[i] = {png_byte(GetRValue(e)), png_byte(GetGValue(e)), png_byte(GetBValue(e))};
            }
            s.palette = pal;
            s.paletteCount = n;
        }
    }
    const long double gamma = picture.Gamma();
    if (WriteGamma && std::isfinite(gamma) && gamma > 0) {
        s.gamma = true;
        s.gammaValue = double(float(1.0L / gamma));
    }
    // Metadata: the ICC profile when libpng will take it for this file, the
    // EXIF block with the saved size, the comments as tEXt.
    const TPGMetadata& meta = picture.Metadata();
    if (meta.ICC.size() <= kPGMaxICCBytes &&
        PngAcceptsICC(meta.ICC.data(), meta.ICC.size(), s.colorType)) {
        s.icc = meta.ICC.data();
        s.iccSize = meta.ICC.size();
    }
    const std::vector<uint8_t> exif =
        ExifBlockForSave(meta.Exif, picture.GetWidth(), picture.GetHeight());
    if (IsExifBlock(exif) && exif.size() <= PNG_UINT_31_MAX) {
        s.exif = exif.data();
        s.exifSize = exif.size();
    }
    std::vector<png_text> texts;
    for (const std::string& comment : meta.Comments) {
        png_text t{};
        t.compression = PNG_TEXT_COMPRESSION_NONE;
        t.key = const_cast<char*>("Comment");
        t.text = const_cast<char*>(comment.c_str());
        t.text_length = comment.size();
        texts.push_back(t);
    }
    s.texts = texts.data();
    s.textCount = int(texts.size());
    if (!PngWriteHeader(c.get(), &s)) PngThrow(*c);

    const int h = picture.GetHeight();
    const int bands = picture.PixelFormat() == pg24Bit
                          ? PngBandCount(picture.GetWidth(), h, PGFilterThreads)
                          : 1;
    if (bands >= 2) {
        // Large true-colour pictures: the rows are filtered and deflated on
        // every core, the image data written in chunks of 256 KB.
        TPGProgressScope progress(picture, this);
        constexpr size_t kChunk = 262144;
        std::vector<uint8_t> pending; // less than a chunk, held for the next piece
        pending.reserve(kChunk);
        auto put = [&](const uint8_t* data, size_t n) {
            if (!pending.empty()) {
                const size_t take = std::min(n, kChunk - pending.size());
                pending.insert(pending.end(), data, data + take);
                data += take;
                n -= take;
                if (pending.size() < kChunk) return true;
                if (!PngWriteChunk(c.get(), "IDAT", pending.data(), pending.size())) return false;
                pending.clear();
            }
            for (; n >= kChunk; data += kChunk, n -= kChunk)
                if (!PngWriteChunk(c.get(), "IDAT", data, kChunk)) return false;
            pending.assign(data, data + n);
            return true;
        };
        const bool ok = PngDeflateBands(picture, bands, put, [&](int rows) {
            (void)progress.Step(rows - 1, h - 1);
        });
        if (!ok) {
            if (c->message[0] == 0) Fail("Out of memory");
            PngThrow(*c);
        }
        if ((!pending.empty() && !PngWriteChunk(c.get(), "IDAT", pending.data(), pending.size())) ||
            !PngWriteChunk(c.get(), "IEND", nullptr, 0))
            PngThrow(*c);
        return;
    }
    {
        TPGProgressScope progress(picture, this);
        for (int y = 0; y < h; ++y) {
            if (!PngWriteRow(c.get(), picture.ScanLine(y))) PngThrow(*c);
            (void)progress.Step(y, h - 1); // a writer finishes what it began
        }
    }
    if (!PngWriteEnd(c.get())) PngThrow(*c);
}

void RegisterPNGFormats() {
    RegisterFileFormatReader(std::make_unique<TPNGFileFormatReader>());
    RegisterFileFormatWriter(std::make_unique<TPNGFileFormatWriter>());
}
