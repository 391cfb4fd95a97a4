#pragma once
// JPEG/JFIF reader and writer over libjpeg (6.2 interface).

#include <atomic>
#include <string>

#include "core/registry.h"

// Process-wide JPEG options; the editor's save options, the converter and the
// web publisher set them (on the window's thread), readers and writers read
// each once when they start. Atomic: workers read them meanwhile.
// DCT methods: 0 = integer (slow, exact), 1 = integer (fast), 2 = floating point.
extern std::atomic<int> JPEGReadMethod;   // default 0
extern std::atomic<int> JPEGWriteMethod;  // default 2
extern std::atomic<int> JPEGQuality;      // 1..100, default 80, written with baseline tables
extern std::atomic<bool> JPEGProgressive; // default off

// More scans than this in a progressive file is taken as a damaged or hostile
// file: every scan makes the decoder walk the whole coefficient buffer.
constexpr int kJPEGMaxScans = 500;

// The libjpeg scale_denom for shrink-on-load: the largest of 8, 4 and 2 that
// keeps both decoded sides (rounded up, as libjpeg does) at least `hint`
// pixels long; 1 when none does or without a hint.
int JpegShrinkDenom(int width, int height, int hint);

class TJPGFileFormatReader : public TFileFormatReader {
  public:
    TJPGFileFormatReader() : TJPGFileFormatReader("jpg") {}
    std::string ClassName() const override { return "TJPGFileFormatReader"; }
    bool CheckSignature(const uint8_t* header, int size) override;
    void Read(TStream& stream, TPixelGraphic& picture, int imageIndex) override;
    void GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) override;

  protected:
    explicit TJPGFileFormatReader(std::string extension);
};

class TJPEGFileFormatReader : public TJPGFileFormatReader {
  public:
    TJPEGFileFormatReader() : TJPGFileFormatReader("jpeg") {}
    std::string ClassName() const override { return "TJPEGFileFormatReader"; }
};

class TJIFFileFormatReader : public TJPGFileFormatReader {
  public:
    TJIFFileFormatReader() : TJPGFileFormatReader("jif") {}
    std::string ClassName() const override { return "TJIFFileFormatReader"; }
};

class TJPGFileFormatWriter : public TFileFormatWriter {
  public:
    TJPGFileFormatWriter() : TJPGFileFormatWriter("jpg", true) {}
    std::string ClassName() const override { return "TJPGFileFormatWriter"; }
    void Write(TStream& stream, TPixelGraphic& picture) override;
    bool WritesICCProfile() const override { return true; }

  protected:
    TJPGFileFormatWriter(std::string extension, bool listed);
};

class TJPEGFileFormatWriter : public TJPGFileFormatWriter {
  public:
    TJPEGFileFormatWriter() : TJPGFileFormatWriter("jpeg", false) {}
    std::string ClassName() const override { return "TJPEGFileFormatWriter"; }
};

class TJIFFileFormatWriter : public TJPGFileFormatWriter {
  public:
    TJIFFileFormatWriter() : TJPGFileFormatWriter("jif", false) {}
    std::string ClassName() const override { return "TJIFFileFormatWriter"; }
};
