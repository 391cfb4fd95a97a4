#include "formats/png_glue.h"

#include <csetjmp>
#include <cstring>
#include <string>

#include <zlib.h>

#include "core/exceptions.h"
#include "core/messages.h"
#include "core/stream.h"
#include "formats/libwarning.h"

namespace {
TPGPngContext* CtxOf(png_const_structrp png) {
    return static_cast<TPGPngContext*>(png_get_error_ptr(png));
}

void ErrorFn(png_structp png, png_const_charp text) {
    TPGPngContext* c = CtxOf(png);
    if (!c->final) PGCopyMessage(c->message, sizeof c->message, text);
    png_longjmp(png, 1);
}

void WarningFn(png_structp png, png_const_charp text) {
    TPGPngContext* c = CtxOf(png);
    if (!c->armed) return;
    if (!PGLibraryWarning("PNG", c->warningAction, text, c->message, sizeof c->message,
                          c->pending)) {
        c->final = true;
        png_longjmp(png, 1);
    }
}

void ReadFn(png_structp png, png_bytep data, size_t length) {
    TPGPngContext* c = static_cast<TPGPngContext*>(png_get_io_ptr(png));
    int64_t n = 0;
    bool failed = false;
    try {
        n = c->stream->Read(data, int64_t(length));
    } catch (...) {
        c->pending = std::current_exception();
        failed = true;
    }
    if (failed || n != int64_t(length)) png_error(png, "Read Error");
    if (length == 8 && (png_get_io_state(png) & PNG_IO_CHUNK_HDR)) {
        if (std::memcmp(data + 4, "gAMA", 4) == 0) c->sawGamma = true;
        if (std::memcmp(data + 4, "cHRM", 4) == 0) c->sawChrm = true;
    }
}

void WriteFn(png_structp png, png_bytep data, size_t length) {
    TPGPngContext* c = static_cast<TPGPngContext*>(png_get_io_ptr(png));
    bool failed = false;
    try {
        c->stream->WriteBuffer(data, int64_t(length));
    } catch (...) {
        c->pending = std::current_exception();
        failed = true;
    }
    if (failed) png_error(png, "Write Error");
}

void FlushFn(png_structp) {}
} // namespace

TPGPngContext::~TPGPngContext() {
    if (!png) return;
    if (writing)
        png_destroy_write_struct(&png, info ? &info : nullptr);
    else
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
}

bool PngLibraryMatches() {
    // Same major and minor release of libpng (1.6.x), same zlib generation.
    const png_uint_32 linked = png_access_version_number();
    if (linked / 100 != PNG_LIBPNG_VER / 100) return false;
    const char* z = zlibVersion();
    return z && z[0] == ZLIB_VERSION[0];
}

namespace {
bool PngCreate(TPGPngContext* c, bool writing) {
    c->writing = writing;
    c->png = writing ? png_create_write_struct(PNG_LIBPNG_VER_STRING, c, ErrorFn, WarningFn)
                     : png_create_read_struct(PNG_LIBPNG_VER_STRING, c, ErrorFn, WarningFn);
    const char* failed = !c->png ? (writing ? "png_create_write_struct" : "png_create_read_struct")
                                 : nullptr;
    if (c->png) {
        c->info = png_create_info_struct(c->png);
        if (!c->info) failed = "png_create_info_struct";
    }
    if (failed) PGCopyMessage(c->message, sizeof c->message, PGMessage(31, failed).c_str());
    return !failed;
}
} // namespace

bool PngCreateRead(TPGPngContext* c) { return PngCreate(c, false); }

bool PngCreateWrite(TPGPngContext* c) { return PngCreate(c, true); }

bool PngReadInfo(TPGPngContext* c, uint32_t maxWidth) {
    if (setjmp(png_jmpbuf(c->png))) return false;
    c->armed = true;
    png_set_read_fn(c->png, c, ReadFn);
    // A row buffer of libpng is at most 8 bytes a pixel: keep it under the cap.
    png_set_user_limits(c->png, maxWidth, PNG_UINT_31_MAX);
    // A profile that is merely not the usual sRGB one is no reason for a box.
    png_set_option(c->png, PNG_SKIP_sRGB_CHECK_PROFILE, PNG_OPTION_ON);
    png_read_info(c->png, c->info);
    return true;
}

bool PngSetTransforms(TPGPngContext* c, TPGPngReadSettings* s) {
    if (setjmp(png_jmpbuf(c->png))) return false;
    if (s->background)
        png_set_background(c->png, &s->backgroundColor, s->backgroundGammaCode, 0, 1.0);
    if (s->strip16) png_set_strip_16(c->png);
    if (s->bgr) png_set_bgr(c->png);
    s->passes = png_set_interlace_handling(c->png);
    png_read_update_info(c->png, c->info);
    return true;
}

bool PngReadRow(TPGPngContext* c, png_bytep row) {
    if (setjmp(png_jmpbuf(c->png))) return false;
    png_read_rows(c->png, &row, nullptr, 1);
    return true;
}

bool PngReadEnd(TPGPngContext* c) {
    if (setjmp(png_jmpbuf(c->png))) return false;
    png_read_end(c->png, nullptr);
    return true;
}

bool PngWriteHeader(TPGPngContext* c, const TPGPngWriteSettings* s) {
    if (setjmp(png_jmpbuf(c->png))) return false;
    c->armed = true;
    png_set_write_fn(c->png, c, WriteFn, FlushFn);
    png_set_IHDR(c->png, c->info, s->width, s->height, s->bitDepth, s->colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (s->palette) png_set_PLTE(c->png, c->info, s->palette, s->paletteCount);
    if (s->gamma) png_set_gAMA(c->png, c->info, s->gammaValue);
    if (s->iccSize > 0) {
        // The profile is written as the picture carried it, not judged.
        png_set_option(c->png, PNG_SKIP_sRGB_CHECK_PROFILE, PNG_OPTION_ON);
        png_set_iCCP(c->png, c->info, "ICC Profile", PNG_COMPRESSION_TYPE_BASE, s->icc,
                     png_uint_32(s->iccSize));
    }
    if (s->exifSize > 0)
        png_set_eXIf_1(c->png, c->info, png_uint_32(s->exifSize), const_cast<png_bytep>(s->exif));
    if (s->textCount > 0) png_set_text(c->png, c->info, s->texts, s->textCount);
    png_write_info(c->png, c->info);
    png_set_bgr(c->png);
    return true;
}

namespace {
// The trial of a profile: any error or warning of libpng's own checks ends it.
struct TICCTrial {
    std::jmp_buf jump;
};
void TrialError(png_structp png, png_const_charp) {
    std::longjmp(static_cast<TICCTrial*>(png_get_error_ptr(png))->jump, 1);
}
bool TrialSetICC(png_structp png, png_infop info, const uint8_t* icc, size_t size, int colorType) {
    auto* trial = static_cast<TICCTrial*>(png_get_error_ptr(png));
    if (setjmp(trial->jump)) return false;
    png_set_option(png, PNG_SKIP_sRGB_CHECK_PROFILE, PNG_OPTION_ON);
    png_set_IHDR(png, info, 1, 1, 8, colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_iCCP(png, info, "ICC Profile", PNG_COMPRESSION_TYPE_BASE, icc, png_uint_32(size));
    return true;
}
} // namespace

bool PngAcceptsICC(const uint8_t* icc, size_t size, int colorType) {
    if (size == 0 || size > PNG_UINT_31_MAX) return false;
    TICCTrial trial;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &trial, TrialError, TrialError);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    const bool ok = info && TrialSetICC(png, info, icc, size, colorType);
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return ok;
}

bool PngWriteRow(TPGPngContext* c, png_bytep row) {
    if (setjmp(png_jmpbuf(c->png))) return false;
    png_write_rows(c->png, &row, 1);
    return true;
}

bool PngWriteChunk(TPGPngContext* c, const char* name, const uint8_t* data, size_t size) {
    if (setjmp(png_jmpbuf(c->png))) return false;
    png_write_chunk(c->png, reinterpret_cast<png_const_bytep>(name), data, size);
    return true;
}

bool PngWriteEnd(TPGPngContext* c) {
    if (setjmp(png_jmpbuf(c->png))) return false;
    png_write_end(c->png, nullptr);
    return true;
}

void PngThrow(const TPGPngContext& c) {
    if (c.pending) {
        // Our own exceptions pass unchanged; anything else (a stream error)
        // is reported as this format's failure.
        try {
            std::rethrow_exception(c.pending);
        } catch (const EPixelGraphic&) {
            throw;
        } catch (const std::exception& e) {
            throw EPGPNGFileFormatReaderWriter("PNG: " + std::string(e.what()));
        }
    }
    throw EPGPNGFileFormatReaderWriter("PNG: " + std::string(c.message));
}
