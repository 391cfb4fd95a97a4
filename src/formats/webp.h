#pragma once
// WebP files through libwebp: still pictures (lossy, lossless, with alpha)
// and animations, whose frames are the file's pictures, each composited
// with the frames before it by their blend and dispose rules. The writer
// stores lossy (with a quality) or lossless files.

#include <atomic>

#include "core/exceptions.h"
#include "core/registry.h"

class EPGWebPFileFormatReaderWriter : public EPixelGraphic {
public:
    explicit EPGWebPFileFormatReaderWriter(const std::string& msg) : EPixelGraphic(msg) {}
};

// Writer options, read once per file (core/options.h says why atomic).
extern std::atomic<int> WebPQuality;   // 1..100, lossy files; default 80
extern std::atomic<bool> WebPLossless; // default off

class TWebPFileFormatReader : public TFileFormatReader {
public:
    TWebPFileFormatReader() : TFileFormatReader("webp", "WebP", true) {}
    std::string ClassName() const override { return "TWebPFileFormatReader"; }
    bool CheckSignature(const uint8_t* header, int size) override;
    void Read(TStream& stream, TPixelGraphic& picture, int imageIndex) override;
    void GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) override;
};

class TWebPFileFormatWriter : public TFileFormatWriter {
public:
    TWebPFileFormatWriter() : TFileFormatWriter("webp", "WebP", true, 0xFF) {}
    std::string ClassName() const override { return "TWebPFileFormatWriter"; }
    void Write(TStream& stream, TPixelGraphic& picture) override;
};
