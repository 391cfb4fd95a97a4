// The BMP/DIB/RLE reader and the BMP/DIB writer.

#include "formats/bmp.h"

#include <cstdint>
#include <memory>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/bmp_header.h"
#include "formats/register.h"

std::string TBMPFileFormatReader::ClassName() const {
    return "TBMPFileFormatReader";
}

bool TBMPFileFormatReader::CheckSignature(const uint8_t* header, int size) {
    return size >= 2 && header[0] == 'B' && header[1] == 'M';
}

void TBMPFileFormatReader::Read(TStream& stream, TPixelGraphic& picture, int imageIndex) {
    if (imageIndex != 0) throw EPGBMPFileFormatReader("BMP: " + PGMessage(7, "Index"));
    const int64_t start = stream.Position();
    uint8_t fileHeader[14];
    stream.ReadBuffer(fileHeader, sizeof fileHeader);
    const uint32_t offBits = uint32_t(fileHeader[10]) | (uint32_t(fileHeader[11]) << 8) |
                             (uint32_t(fileHeader[12]) << 16) | (uint32_t(fileHeader[13]) << 24);
    const int64_t pos = stream.Position();
    const uint32_t headerSize = stream.ReadU32LE();
    stream.SetPosition(pos);
    // Files with a gap before their pixels (long headers, padding) say where
    // the pixels are; DecodeDIB takes that place when it is plausible.
    DecodeDIB(picture, stream, headerSize == 12, start + int64_t(offBits));
}

void TBMPFileFormatReader::GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) {
    if (imageIndex != 0) throw EPGBMPFileFormatReader("BMP: " + PGMessage(20, "Index"));
    info = TPGImageInfo{};
    uint8_t fileHeader[14];
    stream.ReadBuffer(fileHeader, sizeof fileHeader);
    const TDIBHeader h = ReadDIBHeader(stream, false);
    if (h.core) {
        info.SubType = "OS/2";
    } else {
        info.SubType = "Windows";
        if (h.compression == BI_RGB)
            info.SubType += ", RGB";
        else if (h.compression == BI_RLE8)
            info.SubType += ", RLE8";
        else if (h.compression == BI_RLE4)
            info.SubType += ", RLE4";
        if (h.topDown) info.SubType += ", Top-Down";
    }
    info.Width = h.width;
    info.Height = h.height;
    info.BitsPerPixel = h.bitCount;
    switch (h.bitCount) {
    case 1:
        info.Colors = "2";
        break;
    case 4:
        info.Colors = "16";
        break;
    case 8:
        info.Colors = "256";
        break;
    case 16:
        info.Colors = "64K";
        break;
    default:
        info.Colors = "16.7M";
        break;
    }
    info.GraphicCount = 1;
}

std::string TBMPFileFormatWriter::ClassName() const {
    return "TBMPFileFormatWriter";
}

void TBMPFileFormatWriter::Write(TStream& stream, TPixelGraphic& picture) {
    const int colors =
        picture.PixelFormat() == pg24Bit
            ? 0
            : (picture.PaletteCount() > 0 ? picture.PaletteCount() : picture.ColorCount());
    const int64_t offBits = 54 + 4 * int64_t(colors);
    const int64_t fileSize = offBits + picture.ImageSize();
    // The size fields are 32 bits: a larger file could not be read back.
    if (fileSize > int64_t(UINT32_MAX))
        throw EPGBMPFileFormatReader("BMP: " + PGMessage(27, "BitmapFileHeader.bfSize"));
    uint8_t h[14] = {'B', 'M'};
    for (int i = 0; i < 4; ++i) {
        h[2 + i] = uint8_t(uint64_t(fileSize) >> (8 * i));
        h[10 + i] = uint8_t(uint64_t(offBits) >> (8 * i));
    }
    stream.WriteBuffer(h, sizeof h);
    EncodeDIB(picture, stream);
}

void RegisterBMPFormats() {
    RegisterFileFormatReader(std::make_unique<TBMPFileFormatReader>());
    RegisterFileFormatReader(std::make_unique<TDIBFileFormatReader>());
    RegisterFileFormatReader(std::make_unique<TRLEFileFormatReader>());
    RegisterFileFormatWriter(std::make_unique<TBMPFileFormatWriter>());
    RegisterFileFormatWriter(std::make_unique<TDIBFileFormatWriter>());
}
