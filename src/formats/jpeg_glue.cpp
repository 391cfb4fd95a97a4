#include "formats/jpeg_glue.h"

#include <cstring>

#include <jerror.h>

#include "core/exceptions.h"
#include "core/stream.h"
#include "formats/jpeg.h"
#include "formats/libwarning.h"

namespace {

TPGJpegError* ErrOf(j_common_ptr cinfo) {
    return reinterpret_cast<TPGJpegError*>(cinfo->err);
}

void ErrorExit(j_common_ptr cinfo) {
    TPGJpegError* err = ErrOf(cinfo);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (level < 0) follow the library's own policy: only the first one of
// an image reaches the user. Trace messages are not shown.
void EmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    TPGJpegError* err = ErrOf(cinfo);
    const bool first = cinfo->err->num_warnings == 0;
    cinfo->err->num_warnings++;
    if (!first) return;
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    if (!PGLibraryWarning("JPG", err->warningAction, text, err->message, sizeof err->message,
                          err->pending))
        std::longjmp(err->jump, 1);
}

void OutputMessage(j_common_ptr) {}

void InitErrorManager(TPGJpegError* err) {
    jpeg_std_error(&err->pub);
    err->pub.error_exit = ErrorExit;
    err->pub.emit_message = EmitMessage;
    err->pub.output_message = OutputMessage;
}

[[noreturn]] void FailWith(TPGJpegError* err, const char* text) {
    PGCopyMessage(err->message, sizeof err->message, text);
    std::longjmp(err->jump, 1);
}

// ---- source manager over a TStream

void InitSource(j_decompress_ptr cinfo) {
    reinterpret_cast<TPGJpegSource*>(cinfo->src)->startOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<TPGJpegSource*>(cinfo->src);
    int64_t n = 0;
    bool failed = false;
    try {
        n = src->stream->Read(src->buffer, int64_t(kJPEGBufferSize));
    } catch (...) {
        src->err->pending = std::current_exception();
        failed = true;
    }
    if (failed) FailWith(src->err, "Stream read error");
    if (n <= 0) {
        if (src->startOfFile) {
            cinfo->err->msg_code = JERR_INPUT_EMPTY;
            (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
        }
        // A file that ends early is finished with an end-of-image marker, so
        // the rows decoded so far are kept; the user hears of it as a warning.
        cinfo->err->msg_code = JWRN_JPEG_EOF;
        (*cinfo->err->emit_message)(reinterpret_cast<j_common_ptr>(cinfo), -1);
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        n = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = size_t(n);
    src->startOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    auto* src = cinfo->src;
    if (count <= 0) return;
    while (count > long(src->bytes_in_buffer)) {
        count -= long(src->bytes_in_buffer);
        (void)(*src->fill_input_buffer)(cinfo);
    }
    src->next_input_byte += size_t(count);
    src->bytes_in_buffer -= size_t(count);
}

void TermSource(j_decompress_ptr) {}

// Progressive files may hold any number of scans; each one costs a pass over
// the whole coefficient buffer, so a hostile file could keep the decoder busy
// for hours. Stop at a generous limit.
// The abort question, asked with no C++ object alive in the monitor's own
// frame: an exception of the handler is kept for the caller.
bool AskAbort(TPGJpegProgress* p) {
    try {
        return p->abortCheck(p->abortContext);
    } catch (...) {
        p->err->pending = std::current_exception();
        return true;
    }
}

void ProgressMonitor(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kJPEGMaxScans)
        FailWith(ErrOf(cinfo), "Too many scans in progressive file");
    auto* p = reinterpret_cast<TPGJpegProgress*>(cinfo->progress);
    if (p->abortCheck && AskAbort(p)) {
        p->aborted = !p->err->pending;
        FailWith(ErrOf(cinfo), "Aborted");
    }
}

// ---- destination manager over a TStream

void InitDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<TPGJpegDest*>(cinfo->dest);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kJPEGBufferSize;
}

void WriteOut(TPGJpegDest* dest, size_t count) {
    bool failed = false;
    try {
        dest->stream->WriteBuffer(dest->buffer, int64_t(count));
    } catch (...) {
        dest->err->pending = std::current_exception();
        failed = true;
    }
    if (failed) FailWith(dest->err, "Stream write error");
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<TPGJpegDest*>(cinfo->dest);
    WriteOut(dest, kJPEGBufferSize);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kJPEGBufferSize;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<TPGJpegDest*>(cinfo->dest);
    const size_t count = kJPEGBufferSize - dest->pub.free_in_buffer;
    if (count > 0) WriteOut(dest, count);
}
} // namespace

bool JpegCreateDecompress(TPGJpegDecoder* d, TStream* stream, long long memoryLimit) {
    InitErrorManager(&d->err);
    d->cinfo.err = &d->err.pub;
    if (setjmp(d->err.jump)) return false;
    jpeg_create_decompress(&d->cinfo);
    d->created = true;
    // libjpeg's own working memory (the whole-image coefficient buffer of a
    // progressive file) stays under the picture cap; without backing store,
    // a request beyond it fails instead of being allocated.
    d->cinfo.mem->max_memory_to_use = long(memoryLimit);
    d->src.stream = stream;
    d->src.err = &d->err;
    d->src.pub.init_source = InitSource;
    d->src.pub.fill_input_buffer = FillInputBuffer;
    d->src.pub.skip_input_data = SkipInputData;
    d->src.pub.resync_to_restart = jpeg_resync_to_restart;
    d->src.pub.term_source = TermSource;
    d->src.pub.bytes_in_buffer = 0;
    d->src.pub.next_input_byte = nullptr;
    d->cinfo.src = &d->src.pub;
    d->progress.pub.progress_monitor = ProgressMonitor;
    d->progress.err = &d->err;
    d->cinfo.progress = &d->progress.pub;
    return true;
}

bool JpegReadHeader(TPGJpegDecoder* d) {
    if (setjmp(d->err.jump)) return false;
    jpeg_read_header(&d->cinfo, TRUE);
    return true;
}

bool JpegKeepMetadataMarkers(TPGJpegDecoder* d) {
    if (setjmp(d->err.jump)) return false;
    jpeg_save_markers(&d->cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&d->cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_save_markers(&d->cinfo, JPEG_COM, 0xFFFF);
    return true;
}

bool JpegCalcOutput(TPGJpegDecoder* d) {
    if (setjmp(d->err.jump)) return false;
    jpeg_calc_output_dimensions(&d->cinfo);
    return true;
}

bool JpegStartDecompress(TPGJpegDecoder* d) {
    if (setjmp(d->err.jump)) return false;
    jpeg_start_decompress(&d->cinfo);
    return true;
}

bool JpegReadRow(TPGJpegDecoder* d, JSAMPROW row) {
    if (setjmp(d->err.jump)) return false;
    JSAMPROW rows[1] = {row};
    jpeg_read_scanlines(&d->cinfo, rows, 1);
    return true;
}

bool JpegFinishDecompress(TPGJpegDecoder* d) {
    if (setjmp(d->err.jump)) return false;
    jpeg_finish_decompress(&d->cinfo);
    return true;
}

bool JpegCreateCompress(TPGJpegEncoder* e, TStream* stream) {
    InitErrorManager(&e->err);
    e->cinfo.err = &e->err.pub;
    if (setjmp(e->err.jump)) return false;
    jpeg_create_compress(&e->cinfo);
    e->created = true;
    e->dest.stream = stream;
    e->dest.err = &e->err;
    e->dest.pub.init_destination = InitDestination;
    e->dest.pub.empty_output_buffer = EmptyOutputBuffer;
    e->dest.pub.term_destination = TermDestination;
    e->cinfo.dest = &e->dest.pub;
    return true;
}

bool JpegStartCompress(TPGJpegEncoder* e, const TPGJpegWriteSettings* s) {
    if (setjmp(e->err.jump)) return false;
    jpeg_compress_struct* c = &e->cinfo;
    c->image_width = s->width;
    c->image_height = s->height;
    c->input_components = s->components;
    c->in_color_space = s->inColorSpace;
    jpeg_set_defaults(c);
    if (s->progressive) jpeg_simple_progression(c);
    jpeg_set_quality(c, s->quality, TRUE);
    c->dct_method = s->dct;
    jpeg_start_compress(c, TRUE);
    return true;
}

bool JpegWriteMarker(TPGJpegEncoder* e, int marker, const JOCTET* data, unsigned int length) {
    if (setjmp(e->err.jump)) return false;
    jpeg_write_marker(&e->cinfo, marker, data, length);
    return true;
}

bool JpegWriteRow(TPGJpegEncoder* e, JSAMPROW row) {
    if (setjmp(e->err.jump)) return false;
    JSAMPROW rows[1] = {row};
    jpeg_write_scanlines(&e->cinfo, rows, 1);
    return true;
}

bool JpegFinishCompress(TPGJpegEncoder* e) {
    if (setjmp(e->err.jump)) return false;
    jpeg_finish_compress(&e->cinfo);
    return true;
}

bool JpegVersionError(const TPGJpegError& err) {
    return err.pub.msg_code == JERR_BAD_LIB_VERSION || err.pub.msg_code == JERR_BAD_STRUCT_SIZE;
}

void JpegThrow(const TPGJpegError& err) {
    if (err.pending) {
        // Our own exceptions pass unchanged; anything else (a stream error)
        // is reported as this format's failure.
        try {
            std::rethrow_exception(err.pending);
        } catch (const EPixelGraphic&) {
            throw;
        } catch (const std::exception& e) {
            throw EPGJPGFileFormatReaderWriter("JPG: " + std::string(e.what()));
        }
    }
    throw EPGJPGFileFormatReaderWriter("JPG: " + std::string(err.message));
}
