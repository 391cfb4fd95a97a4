#pragma once
// Truevision Targa files: reader (chosen by extension only, Targa has no
// signature) and writer (8-bit colour-mapped and 24-bit true-colour).

#include "core/exceptions.h"
#include "core/registry.h"

// Raised when a picture cannot be stored as Targa (sizes beyond 16 bits).
class EPGTGAFileFormatWriter : public EPixelGraphic {
public:
    explicit EPGTGAFileFormatWriter(const std::string& msg) : EPixelGraphic(msg) {}
};

class TTGAFileFormatReader : public TFileFormatReader {
public:
    TTGAFileFormatReader() : TFileFormatReader("tga", "Truevision Targa", false) {}
    std::string ClassName() const override { return "TTGAFileFormatReader"; }
    void Read(TStream& stream, TPixelGraphic& picture, int imageIndex) override;
    void GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) override;
};

class TTGAFileFormatWriter : public TFileFormatWriter {
public:
    TTGAFileFormatWriter()
        : TFileFormatWriter("tga", "Truevision Targa", true,
                            CanWrite(cr256Colors) | CanWrite(cr16M)) {}
    std::string ClassName() const override { return "TTGAFileFormatWriter"; }
    void Write(TStream& stream, TPixelGraphic& picture) override;
};

