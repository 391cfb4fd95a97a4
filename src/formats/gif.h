#pragma once
// GIF reader: any picture of a (possibly animated) GIF87a/GIF89a file by
// index, interlaced or not, at the picture's own size with its own colour table.

#include <string>

#include "core/registry.h"

class tGifFileFormatReader : public TFileFormatReader {
  public:
    tGifFileFormatReader() : TFileFormatReader("gif", "GIF", true) {}
    std::string ClassName() const override { return "tGifFileFormatReader"; }
    bool CheckSignature(const uint8_t* header, int size) override;
    // Raises EPixelGraphic ("Not a proper GIF file", "Index out of bounds")
    // when no row of the wanted picture could be decoded; a file that breaks
    // off later keeps the rows decoded so far.
    void Read(TStream& stream, TPixelGraphic& picture, int imageIndex) override;
    void GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) override;
};
