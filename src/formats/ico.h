#pragma once
// Icon reader: one picture of an icon file by index, as a 24-bit picture
// whose masked pixels carry the transparent colour (white).

#include <cstdint>
#include <string>
#include <vector>

#include "core/registry.h"
#include "core/types.h"

class TStream;

// Reads the directory and the images of an icon (or cursor) file. Offsets
// and sizes are 64-bit and every one is checked against the stream.
class tIconHandler {
  public:
    struct Entry {
        int Width = 0, Height = 0, ColorCount = 0;
        uint16_t Planes = 0, BitCount = 0;
        uint32_t BytesInRes = 0, ImageOffset = 0;
    };
    struct Image {
        int Width = 0, Height = 0, Bits = 0;
        std::vector<TRGB> Palette;
        std::vector<uint8_t> Xor, And; // bottom-up rows, padded to 4 bytes
        int64_t XorRow = 0, AndRow = 0;
        int Index(int x, int y) const; // y = 0 is the top row
        bool Masked(int x, int y) const;
    };

    // Reads the directory from the stream's position; false when the data is
    // not an icon or cursor directory that the stream can hold.
    bool ReadDirectory(TStream& stream);
    int Type() const { return type_; }
    int Count() const { return int(entries_.size()); }
    const Entry& GetEntry(int i) const { return entries_[size_t(i)]; }
    // Reads only the bitmap header of image i: width, height and bit count.
    bool ReadHeader(TStream& stream, int i, int& width, int& height, int& bits);
    // Loads image i; false when it is not an image this reader accepts
    // (8..64 pixels a side, 1, 4 or 8 bits, sizes that agree).
    bool LoadImage(TStream& stream, int i, Image& image);

  private:
    int64_t start_ = 0;
    int type_ = 0;
    std::vector<Entry> entries_;
};

class tIcoFileFormatReader : public TFileFormatReader {
  public:
    tIcoFileFormatReader() : TFileFormatReader("ico", "Windows Icon", true) {}
    std::string ClassName() const override { return "tIcoFileFormatReader"; }
    bool CheckSignature(const uint8_t* header, int size) override;
    void Read(TStream& stream, TPixelGraphic& picture, int imageIndex) override;
    void GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) override;
};
