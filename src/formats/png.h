#pragma once
// Portable Network Graphics reader and writer over libpng 1.6.

#include <atomic>
#include <string>

#include "core/registry.h"

// Process-wide PNG options. WriteGamma: the writer stores a gAMA chunk with
// the picture's gamma (editor's save options). PNGUseFileBackground: a bKGD
// chunk, when present, is what transparency is flattened onto.
// Atomic: workers read them while the window's thread may set them.
extern std::atomic<bool> WriteGamma;           // default on
extern std::atomic<bool> PNGUseFileBackground; // default on, never changed by the program

class TPNGFileFormatReader : public TFileFormatReader {
  public:
    TPNGFileFormatReader() : TFileFormatReader("png", "Portable Network Graphics", true) {}
    std::string ClassName() const override { return "TPNGFileFormatReader"; }
    bool CheckSignature(const uint8_t* header, int size) override;
    void Read(TStream& stream, TPixelGraphic& picture, int imageIndex) override;
    void GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) override;
};

class TPNGFileFormatWriter : public TFileFormatWriter {
  public:
    TPNGFileFormatWriter() : TFileFormatWriter("png", "Portable Network Graphics", true, 255) {}
    std::string ClassName() const override { return "TPNGFileFormatWriter"; }
    void Write(TStream& stream, TPixelGraphic& picture) override;
    bool WritesICCProfile() const override { return true; }
};
