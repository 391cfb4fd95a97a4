#pragma once
// HEIF/HEIC files through libheif: the primary image with the container's
// rotation and mirroring applied, further top-level images as later
// pictures of the file (depth maps, alpha planes and thumbnails are never
// pictures of their own). A file whose brands say AVIF goes to the AVIF
// reader.

#include "core/exceptions.h"
#include "core/registry.h"

class EPGHEIFFileFormatReader : public EPixelGraphic {
public:
    explicit EPGHEIFFileFormatReader(const std::string& msg) : EPixelGraphic(msg) {}
};

class THEICFileFormatReader : public TFileFormatReader {
public:
    explicit THEICFileFormatReader(std::string extension = "heic")
        : TFileFormatReader(std::move(extension), "High Efficiency Image File Format", true) {}
    std::string ClassName() const override { return "THEICFileFormatReader"; }
    bool CheckSignature(const uint8_t* header, int size) override;
    void Read(TStream& stream, TPixelGraphic& picture, int imageIndex) override;
    void GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) override;
};

class THEIFFileFormatReader : public THEICFileFormatReader {
public:
    THEIFFileFormatReader() : THEICFileFormatReader("heif") {}
    std::string ClassName() const override { return "THEIFFileFormatReader"; }
};
