#pragma once
// JPEG XL files through libjxl: still pictures and animations (each frame,
// composited with the frames before it, a picture of the file), with the
// file's orientation applied.

#include "core/exceptions.h"
#include "core/registry.h"

class EPGJXLFileFormatReader : public EPixelGraphic {
public:
    explicit EPGJXLFileFormatReader(const std::string& msg) : EPixelGraphic(msg) {}
};

class TJXLFileFormatReader : public TFileFormatReader {
public:
    TJXLFileFormatReader() : TFileFormatReader("jxl", "JPEG XL", true) {}
    std::string ClassName() const override { return "TJXLFileFormatReader"; }
    bool CheckSignature(const uint8_t* header, int size) override;
    void Read(TStream& stream, TPixelGraphic& picture, int imageIndex) override;
    void GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) override;
};
