#pragma once
// The image library's exceptions. Every one carries a text from the message
// table (or a library's own message, prefixed with the format name).

#include <stdexcept>
#include <string>

#include "core/messages.h"

// Stands in for the framework's Exception class: the root of every error a
// window catches around a command.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& msg) : std::runtime_error(msg) {}
    std::string Message() const { return what(); }
};

class EPixelGraphic : public Exception {
public:
    explicit EPixelGraphic(const std::string& msg) : Exception(msg) {}
    // Builds the text from message table entry `no`.
    static std::string Msg(int no, const std::string& s1 = {}, const std::string& s2 = {},
                           const std::string& s3 = {}) {
        return PGMessage(no, s1, s2, s3);
    }
};

#define TAV_PG_EXCEPTION(Name, Base)                                                               \
    class Name : public Base {                                                                     \
    public:                                                                                        \
        explicit Name(const std::string& msg) : Base(msg) {}                                       \
    };

TAV_PG_EXCEPTION(EPGXYIndexOutOfRange, EPixelGraphic)
TAV_PG_EXCEPTION(EPGNoPalette, EPixelGraphic)
TAV_PG_EXCEPTION(EPGInvalidPaletteIndex, EPixelGraphic)
TAV_PG_EXCEPTION(EPGEmpty, EPixelGraphic)
TAV_PG_EXCEPTION(EPGCanWriteResolutionsEmpty, EPixelGraphic)
TAV_PG_EXCEPTION(EPGCannotWriteColorRes, EPixelGraphic)
TAV_PG_EXCEPTION(EPGFileFormatWritersEmpty, EPixelGraphic)
TAV_PG_EXCEPTION(EPGUnknownExtension, EPixelGraphic)
TAV_PG_EXCEPTION(EPGUnknownFileFormat, EPixelGraphic)
TAV_PG_EXCEPTION(EPGUnknownClipboardFormat, EPixelGraphic)
TAV_PG_EXCEPTION(EPGBMPFileFormatReader, EPixelGraphic)
TAV_PG_EXCEPTION(EPGJPGFileFormatReaderWriter, EPixelGraphic)
TAV_PG_EXCEPTION(EPGPNGFileFormatReaderWriter, EPixelGraphic)
TAV_PG_EXCEPTION(EPGPCXFileFormatReader, EPixelGraphic)
TAV_PG_EXCEPTION(EPGPxMFileFormatReader, EPixelGraphic)
TAV_PG_EXCEPTION(EPGPxMFileFormatWriter, EPixelGraphic)
TAV_PG_EXCEPTION(EPGTGAFileFormatReader, EPixelGraphic)
TAV_PG_EXCEPTION(EPGTIFFileFormatReader, EPixelGraphic)
TAV_PG_EXCEPTION(EPGTIFFileFormatWriter, EPixelGraphic)
TAV_PG_EXCEPTION(EPGInvalidBitCountNum, EPixelGraphic)
TAV_PG_EXCEPTION(EPGInvalidSize, EPixelGraphic)
TAV_PG_EXCEPTION(EPGFilter, EPixelGraphic)
TAV_PG_EXCEPTION(EPGSaturationHue, EPixelGraphic)
TAV_PG_EXCEPTION(EPGConvFilter, EPixelGraphic)

// Raised by streams when data runs out or a file cannot be opened, read or
// written; readers catch it where the format wants its own message.
TAV_PG_EXCEPTION(EStreamError, Exception)
TAV_PG_EXCEPTION(EReadError, EStreamError)
TAV_PG_EXCEPTION(EWriteError, EStreamError)
TAV_PG_EXCEPTION(EFOpenError, EStreamError)

#undef TAV_PG_EXCEPTION
