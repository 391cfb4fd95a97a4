#pragma once
// AVIF files through libavif: 8-, 10- and 12-bit pictures, with alpha,
// image sequences as multi-picture files. The writer stores 8-bit files at
// a quality and an encoder speed.

#include <atomic>

#include "core/exceptions.h"
#include "core/registry.h"

class EPGAVIFFileFormatReaderWriter : public EPixelGraphic {
public:
    explicit EPGAVIFFileFormatReaderWriter(const std::string& msg) : EPixelGraphic(msg) {}
};

// Writer options, read once per file (core/options.h says why atomic).
extern std::atomic<int> AVIFQuality; // 1..100 (100: lossless quantizer); default 60
extern std::atomic<int> AVIFSpeed;   // 0 (slowest, smallest) .. 10 (fastest); default 6

// Whether an ISO base media file's "ftyp" box names an AVIF brand (major or
// compatible) among the first `size` bytes.
bool FtypHasAVIFBrand(const uint8_t* data, size_t size);

class TAVIFFileFormatReader : public TFileFormatReader {
public:
    TAVIFFileFormatReader() : TFileFormatReader("avif", "AV1 Image File Format", true) {}
    std::string ClassName() const override { return "TAVIFFileFormatReader"; }
    bool CheckSignature(const uint8_t* header, int size) override;
    void Read(TStream& stream, TPixelGraphic& picture, int imageIndex) override;
    void GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) override;
};

class TAVIFFileFormatWriter : public TFileFormatWriter {
public:
    TAVIFFileFormatWriter() : TFileFormatWriter("avif", "AV1 Image File Format", true, 0xFF) {}
    std::string ClassName() const override { return "TAVIFFileFormatWriter"; }
    void Write(TStream& stream, TPixelGraphic& picture) override;
};
