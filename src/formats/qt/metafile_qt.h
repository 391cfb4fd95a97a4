#pragma once
// The Windows metafile and enhanced metafile readers: the records are played
// by our own player (formats/metafile.h) onto a QPainter.

#include <string>

#include "core/registry.h"

class tWMFFileFormatReader : public TFileFormatReader {
  public:
    tWMFFileFormatReader() : TFileFormatReader("wmf", "Windows Metafile", true) {}
    std::string ClassName() const override { return "tWMFFileFormatReader"; }
    bool CheckSignature(const uint8_t* header, int size) override;
    void Read(TStream& stream, TPixelGraphic& picture, int imageIndex) override;
    void GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) override;
};

class tEMFFileFormatReader : public TFileFormatReader {
  public:
    tEMFFileFormatReader() : TFileFormatReader("emf", "Enhanced Metafile", true) {}
    std::string ClassName() const override { return "tEMFFileFormatReader"; }
    bool CheckSignature(const uint8_t* header, int size) override;
    void Read(TStream& stream, TPixelGraphic& picture, int imageIndex) override;
    void GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) override;
};

// Adds the two metafile readers to the registry (once). Programs that link
// the Qt part of the library call it after InitImageLibrary; text in
// metafiles needs a QGuiApplication (offscreen will do).
void RegisterMetafileFormats();

// Pixels per inch the metafile sizes are computed with: the primary
// screen's, or 96 without a screen.
double MetafileScreenDpi();
