#pragma once
// The Windows metafile and enhanced metafile readers: the records are played
// by our own player (formats/metafile.h) onto a QPainter.

#include <string>

#include "core/registry.h"

class tWMFFileFormatReader : public TFileFormatReader {
  public:
    tWMFFileFormatReader() : TFileFormatReader("wmf", "Windows Metafile", true) {}
    std::string ClassName() const override { return "tWMFFileFormatReader"; }
    bool WorkerSafe() const override { return false; }
    bool CheckSignature(const uint8_t* header, int size) override;
    void Read(TStream& stream, TPixelGraphic& picture, int imageIndex) override;
    void GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) override;
};

class tEMFFileFormatReader : public TFileFormatReader {
  public:
    tEMFFileFormatReader() : TFileFormatReader("emf", "Enhanced Metafile", true) {}
    std::string ClassName() const override { return "tEMFFileFormatReader"; }
    bool WorkerSafe() const override { return false; }
    bool CheckSignature(const uint8_t* header, int size) override;
    void Read(TStream& stream, TPixelGraphic& picture, int imageIndex) override;
    void GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) override;
};

// Adds the two metafile readers to the registry (once). Programs that link
// the Qt part of the library call it after InitImageLibrary, on the
// window's thread; text in metafiles needs a QGuiApplication (offscreen will
// do). Each call on that thread also takes the screen's resolution.
void RegisterMetafileFormats();

// Pixels per inch the metafile sizes are computed with: the primary
// screen's as RegisterMetafileFormats found it, or 96 without a screen. A
// plain value, so loads on any thread read it without touching the screen
// object, which belongs to the window's thread.
double MetafileScreenDpi();

// True for the metafile readers, which play their drawing at any size: a
// load-size hint makes them play it that size straight away.
bool IsMetafileReader(const TFileFormatReader* reader);
