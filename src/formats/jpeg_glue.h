#pragma once
// The plumbing between libjpeg and the image library: error manager, stream
// source and destination, and one small function per library call that sets
// the error jump point. Those functions keep no C++ object alive between
// setjmp and the call (a longjmp must not skip a destructor); they return
// false on a library error, and the C++ callers throw afterwards.

#include <csetjmp>
#include <cstddef>
#include <cstdio> // jpeglib.h needs size_t and FILE first
#include <exception>

#include <jpeglib.h>

#include "core/types.h"

#if JPEG_LIB_VERSION != 62
#error "the JPEG reader and writer are written for the libjpeg 6.2 interface"
#endif

class TStream;

constexpr std::size_t kJPEGBufferSize = 64 * 1024;

struct TPGJpegError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    TPGWarningAction warningAction = pgwaRaise;
    // Text after "JPG: " of the error that stopped the library.
    char message[JMSG_LENGTH_MAX] = {};
    // An exception from our own code inside a callback (stream, message box),
    // rethrown as it is once the library call has returned.
    std::exception_ptr pending;
};

struct TPGJpegSource {
    jpeg_source_mgr pub;
    TStream* stream = nullptr;
    TPGJpegError* err = nullptr;
    bool startOfFile = true;
    JOCTET buffer[kJPEGBufferSize];
};

struct TPGJpegDest {
    jpeg_destination_mgr pub;
    TStream* stream = nullptr;
    TPGJpegError* err = nullptr;
    JOCTET buffer[kJPEGBufferSize];
};

// libjpeg's progress hook. A file of several scans (progressive) is read
// whole inside jpeg_start_decompress before the first row comes out, which
// for a large photo is most of the work: the hook asks `abortCheck` between
// the rows of every scan, so a cancelled load stops there too.
struct TPGJpegProgress {
    jpeg_progress_mgr pub{};
    TPGJpegError* err = nullptr;
    // Returns true to stop; may raise (the exception is rethrown once the
    // library call has returned).
    bool (*abortCheck)(void* context) = nullptr;
    void* abortContext = nullptr;
    // Set when abortCheck stopped the decode (the library call then
    // returns false with no error of its own).
    bool aborted = false;
};

struct TPGJpegDecoder {
    jpeg_decompress_struct cinfo{};
    TPGJpegError err;
    TPGJpegSource src;
    TPGJpegProgress progress;
    bool created = false;
    TPGJpegDecoder() = default;
    TPGJpegDecoder(const TPGJpegDecoder&) = delete;
    TPGJpegDecoder& operator=(const TPGJpegDecoder&) = delete;
    ~TPGJpegDecoder() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

struct TPGJpegEncoder {
    jpeg_compress_struct cinfo{};
    TPGJpegError err;
    TPGJpegDest dest;
    bool created = false;
    TPGJpegEncoder() = default;
    TPGJpegEncoder(const TPGJpegEncoder&) = delete;
    TPGJpegEncoder& operator=(const TPGJpegEncoder&) = delete;
    ~TPGJpegEncoder() {
        if (created) jpeg_destroy_compress(&cinfo);
    }
};

// Creating the object checks the library's version and struct size.
bool JpegCreateDecompress(TPGJpegDecoder* d, TStream* stream, long long memoryLimit);
bool JpegReadHeader(TPGJpegDecoder* d);
// Keeps the APP1, APP2 and COM segments the header reading meets (each at
// most the 65,533 bytes a segment holds) for the metadata of the picture;
// call before JpegReadHeader.
bool JpegKeepMetadataMarkers(TPGJpegDecoder* d);
bool JpegCalcOutput(TPGJpegDecoder* d);
bool JpegStartDecompress(TPGJpegDecoder* d);
bool JpegReadRow(TPGJpegDecoder* d, JSAMPROW row);
bool JpegFinishDecompress(TPGJpegDecoder* d);

bool JpegCreateCompress(TPGJpegEncoder* e, TStream* stream);
struct TPGJpegWriteSettings {
    JDIMENSION width, height;
    int components;
    J_COLOR_SPACE inColorSpace;
    bool progressive;
    int quality;
    J_DCT_METHOD dct;
};
bool JpegStartCompress(TPGJpegEncoder* e, const TPGJpegWriteSettings* s);
// Writes one marker segment; call after JpegStartCompress, before the rows.
bool JpegWriteMarker(TPGJpegEncoder* e, int marker, const JOCTET* data, unsigned int length);
bool JpegWriteRow(TPGJpegEncoder* e, JSAMPROW row);
bool JpegFinishCompress(TPGJpegEncoder* e);

// Whether the last error came from the library's version or struct-size check.
bool JpegVersionError(const TPGJpegError& err);
// Raises EPGJPGFileFormatReaderWriter for the error held in `err` (or the
// pending exception of a callback).
[[noreturn]] void JpegThrow(const TPGJpegError& err);
