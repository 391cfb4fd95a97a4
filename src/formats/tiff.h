#pragma once
// TIFF files: our own reader for baseline files (uncompressed and PackBits
// strips; bilevel, grey, palette, RGB, RGB with an extra sample, CMYK), with
// every other TIFF read through libtiff (tifflib.h); and the writer
// (uncompressed, PackBits, LZW or Deflate, either byte order, RGB or CMYK).

#include <atomic>
#include <cstdint>
#include <vector>

#include "core/options.h"
#include "core/registry.h"

struct TPGRational {
    uint32_t Numerator;
    uint32_t Denominator;
};

// Writer options, read once when a file is written; the save-options dialog
// edits them on the window's thread (core/options.h says why they are atomic).
extern std::atomic<bool> TIFFMotorolaOrder;        // "MM" big-endian files instead of "II"
extern std::atomic<int> TIFFCompression;           // 1 none, 5 LZW, 8 Deflate, 32773 PackBits
extern std::atomic<bool> TIFFWriteCMYK;            // 24-bit pictures as C, M, Y, K
extern std::atomic<bool> TIFFWhiteIsZero;          // bilevel and grey pictures inverted
extern std::atomic<int> TIFFResolutionUnit;        // 0 none, 1 inch, 2 centimetre
extern TSharedOption<TPGRational> TIFFResolutionX; // 300/1
extern TSharedOption<TPGRational> TIFFResolutionY; // 300/1
// Reads only the first directory when off (the library never turns it on).
extern std::atomic<bool> TIFFMultiPage;

class TTIFFileFormatReader : public TFileFormatReader {
public:
    explicit TTIFFileFormatReader(std::string extension = "tif")
        : TFileFormatReader(std::move(extension), "Tagged Image File Format", true) {}
    std::string ClassName() const override { return "TTIFFileFormatReader"; }
    bool CheckSignature(const uint8_t* header, int size) override;
    void Read(TStream& stream, TPixelGraphic& picture, int imageIndex) override;
    void GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) override;
};

class TTIFFFileFormatReader : public TTIFFileFormatReader {
public:
    TTIFFFileFormatReader() : TTIFFileFormatReader("tiff") {}
    std::string ClassName() const override { return "TTIFFFileFormatReader"; }
};

class TTIFFileFormatWriter : public TFileFormatWriter {
public:
    explicit TTIFFileFormatWriter(std::string extension = "tif", bool listed = true)
        : TFileFormatWriter(std::move(extension), "Tagged Image File Format", listed,
                            uint8_t(0xFF & ~CanWrite(cr2Colors))) {}
    std::string ClassName() const override { return "TTIFFileFormatWriter"; }
    void Write(TStream& stream, TPixelGraphic& picture) override;
    bool WritesICCProfile() const override { return true; }
    void BeginFile(TStream& stream) override;
    void WritePicture(TStream& stream, TPixelGraphic& picture) override;
    void EndFile(TStream& stream) override;

private:
    // One file's state, set by BeginFile: Write keeps it in a writer of its
    // own, as the registry's writer may be writing on other threads.
    int64_t headerStart_ = 0;    // stream position of the file header
    int64_t nextOffsetField_ = 0; // stream position of the directory offset to patch
    bool motorola_ = false;       // the file's byte order, fixed by its header
    TObject* sender_ = this;      // who progress events name
};

class TTIFFFileFormatWriter : public TTIFFileFormatWriter {
public:
    TTIFFFileFormatWriter() : TTIFFileFormatWriter("tiff", false) {}
    std::string ClassName() const override { return "TTIFFFileFormatWriter"; }
};

// One row PackBits-compressed (rows are compressed on their own).
std::vector<uint8_t> PackBitsRow(const uint8_t* row, int n);
// One strip LZW-compressed as TIFF readers expect it.
std::vector<uint8_t> LZWStrip(const uint8_t* data, size_t n);

