#pragma once
// Portable bitmap, graymap and pixmap files (P1-P6): one reader and one
// writer implementation behind the three registered extensions.

#include <atomic>

#include "core/registry.h"

// Writers store binary (P4-P6) instead of ASCII (P1-P3) files. Off by
// default; atomic, as workers read it while the window's thread may set it.
extern std::atomic<bool> PxMWriteBinary;

class TPxMFileFormatReader : public TFileFormatReader {
public:
    // `digits` are the two magic digits this reader's signature accepts.
    TPxMFileFormatReader(std::string extension, std::string description, char ascii, char binary)
        : TFileFormatReader(std::move(extension), std::move(description), true), ascii_(ascii),
          binary_(binary) {}
    bool CheckSignature(const uint8_t* header, int size) override;
    void Read(TStream& stream, TPixelGraphic& picture, int imageIndex) override;
    void GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) override;

private:
    char ascii_, binary_;
};

class TPBMFileFormatReader : public TPxMFileFormatReader {
public:
    TPBMFileFormatReader() : TPxMFileFormatReader("pbm", "Portable Bitmap", '1', '4') {}
    std::string ClassName() const override { return "TPBMFileFormatReader"; }
};
class TPGMFileFormatReader : public TPxMFileFormatReader {
public:
    TPGMFileFormatReader() : TPxMFileFormatReader("pgm", "Portable Graymap", '2', '5') {}
    std::string ClassName() const override { return "TPGMFileFormatReader"; }
};
class TPPMFileFormatReader : public TPxMFileFormatReader {
public:
    TPPMFileFormatReader() : TPxMFileFormatReader("ppm", "Portable Pixelmap", '3', '6') {}
    std::string ClassName() const override { return "TPPMFileFormatReader"; }
};

class TPXMFileFormatWriter : public TFileFormatWriter {
public:
    using TFileFormatWriter::TFileFormatWriter;
    void Write(TStream& stream, TPixelGraphic& picture) override;
};

class TPBMFileFormatWriter : public TPXMFileFormatWriter {
public:
    TPBMFileFormatWriter()
        : TPXMFileFormatWriter("pbm", "Portable Bitmap", true, CanWrite(crBlackWhite)) {}
    std::string ClassName() const override { return "TPBMFileFormatWriter"; }
};
class TPGMFileFormatWriter : public TPXMFileFormatWriter {
public:
    TPGMFileFormatWriter()
        : TPXMFileFormatWriter("pgm", "Portable Graymap", true, CanWrite(cr256Grays)) {}
    std::string ClassName() const override { return "TPGMFileFormatWriter"; }
};
class TPPMFileFormatWriter : public TPXMFileFormatWriter {
public:
    TPPMFileFormatWriter() : TPXMFileFormatWriter("ppm", "Portable Pixelmap", true, CanWrite(cr16M)) {}
    std::string ClassName() const override { return "TPPMFileFormatWriter"; }
};

