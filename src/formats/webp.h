#pragma once
// WebP files through libwebp: still pictures (lossy, lossless, with alpha)
// and animations, whose frames are the file's pictures, each composited
// with the frames before it by their blend and dispose rules. The writer
// stores lossy (with a quality) or lossless files.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

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

class TStream;

// True when `header` (a file's first bytes, at least 21 for a yes) starts an
// animated WebP file: its extended header says so.
bool IsAnimatedWebPHeader(const uint8_t* header, size_t size);
// The same for the file at `path` (file-system bytes); false when it cannot
// be read.
bool IsAnimatedWebPFile(const std::string& path);

// An animated WebP file played forward one frame at a time, for players:
// each frame composited with the ones before it by the file's blend and
// dispose rules, with how long it shows. Holds one canvas, not every frame.
class TWebPAnimation {
public:
    // Reads the whole file from `stream`; throws as the reader does for what
    // is no WebP file and for a canvas past the picture cap. A still picture
    // is an animation of one frame.
    explicit TWebPAnimation(TStream& stream);
    ~TWebPAnimation();
    TWebPAnimation(const TWebPAnimation&) = delete;
    TWebPAnimation& operator=(const TWebPAnimation&) = delete;

    int Width() const;
    int Height() const;
    int FrameCount() const;
    // Decodes the next frame; after the last one the first comes again. The
    // canvas is RGBA, Width() * 4 bytes a row, top row first, and stays
    // valid until the next call. `durationMs` is how long it shows. Throws
    // for a damaged frame.
    const uint8_t* NextFrame(int& durationMs);

private:
    struct TState;
    std::unique_ptr<TState> s_;
};
