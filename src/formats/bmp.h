#pragma once
// Windows and OS/2 bitmaps: the BMP/DIB/RLE reader and the BMP/DIB writer,
// and the packed-DIB decoder and encoder shared with the clipboard.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/registry.h"

class TPixelGraphic;
class TStream;

class TBMPFileFormatReader : public TFileFormatReader {
  public:
    explicit TBMPFileFormatReader(std::string extension = "bmp")
        : TFileFormatReader(std::move(extension), "Bitmap", true) {}
    std::string ClassName() const override;
    bool CheckSignature(const uint8_t* header, int size) override;
    void Read(TStream& stream, TPixelGraphic& picture, int imageIndex) override;
    void GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) override;
};

class TDIBFileFormatReader : public TBMPFileFormatReader {
  public:
    TDIBFileFormatReader() : TBMPFileFormatReader("dib") {}
    std::string ClassName() const override { return "TDIBFileFormatReader"; }
};

class TRLEFileFormatReader : public TBMPFileFormatReader {
  public:
    TRLEFileFormatReader() : TBMPFileFormatReader("rle") {}
    std::string ClassName() const override { return "TRLEFileFormatReader"; }
};

class TBMPFileFormatWriter : public TFileFormatWriter {
  public:
    TBMPFileFormatWriter(std::string extension = "bmp", bool listed = true)
        : TFileFormatWriter(std::move(extension), "Bitmap", listed, 255) {}
    std::string ClassName() const override;
    void Write(TStream& stream, TPixelGraphic& picture) override;
};

class TDIBFileFormatWriter : public TBMPFileFormatWriter {
  public:
    TDIBFileFormatWriter() : TBMPFileFormatWriter("dib", false) {}
    std::string ClassName() const override { return "TDIBFileFormatWriter"; }
};

// Decodes a DIB (header, optional channel masks, colour table, pixels) from
// the stream's position into `picture`. `core` selects the 12-byte OS/2
// header. `pixelOffset`, when not negative, is the stream position the file
// header names for the pixels; it is used when it lies past the colour table
// and the pixels fit there. Errors raise EPGBMPFileFormatReader ("BMP: ...")
// before any pixel is read; a short stream raises the stream's own error.
void DecodeDIB(TPixelGraphic& picture, TStream& stream, bool core, int64_t pixelOffset = -1);

// Writes a 40-byte BITMAPINFOHEADER, the colour table and the pixels.
void EncodeDIB(TPixelGraphic& picture, TStream& stream);

// Packed DIB (the clipboard's CF_DIB): header + colour table + pixels in one
// block, no file header. Decode raises like DecodeDIB (a short block raises
// EReadError); the header size decides between the OS/2 and Windows header.
void DecodePackedDIB(TPixelGraphic& picture, const uint8_t* data, size_t size);
std::vector<uint8_t> EncodePackedDIB(TPixelGraphic& picture);
