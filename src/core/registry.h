#pragma once
// The format registry: reader and writer base classes, the two registries,
// and choosing a reader (by content signature first, then by extension) or a
// writer (by extension).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/types.h"

class TStream;
class TPixelGraphic;

class TFileFormatReaderWriter : public TObject {
public:
    TFileFormatReaderWriter(std::string extension, std::string description, bool listed)
        : Listed(listed), Extension(std::move(extension)), Description(std::move(description)) {}
    // Class name as the library's messages show it ("TBMPFileFormatWriter").
    virtual std::string ClassName() const = 0;

    bool Listed;
    std::string Extension; // lower case, no dot
    std::string Description;
};

// What GetInfo reports about a file without decoding its pixels.
struct TPGImageInfo {
    int GraphicCount = 1;
    int BitsPerPixel = 0;
    std::string Colors;
    int Height = 0;
    int Width = 0;
    std::string Options;
    std::string SubType;
};

class TFileFormatReader : public TFileFormatReaderWriter {
public:
    TFileFormatReader(std::string extension, std::string description, bool signature)
        : TFileFormatReaderWriter(std::move(extension), std::move(description), true),
          Signature(signature) {}
    // `header` holds the first bytes of the stream (up to 17; fewer when the
    // stream is shorter: `size` says how many).
    virtual bool CheckSignature(const uint8_t* header, int size) {
        (void)header;
        (void)size;
        return false;
    }
    virtual void Read(TStream& stream, TPixelGraphic& picture, int imageIndex) {
        (void)stream;
        (void)picture;
        (void)imageIndex;
    }
    virtual void GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) {
        (void)stream;
        (void)imageIndex;
        info = TPGImageInfo{};
    }
    // False for a reader that draws through the window system (metafiles:
    // fonts, text layout): work done ahead on a worker thread leaves such
    // files to the window's thread.
    virtual bool WorkerSafe() const { return true; }

    bool Signature;
};

// Bit r of CanWriteResolutions set = resolution r (TPGColorResolution) can be written.
class TFileFormatWriter : public TFileFormatReaderWriter {
public:
    TFileFormatWriter(std::string extension, std::string description, bool listed, uint8_t canWrite)
        : TFileFormatReaderWriter(std::move(extension), std::move(description), listed),
          CanWriteResolutions(canWrite) {}
    virtual void Write(TStream& stream, TPixelGraphic& picture) {
        (void)stream;
        (void)picture;
    }
    virtual void BeginFile(TStream& stream) { (void)stream; }
    virtual void WritePicture(TStream& stream, TPixelGraphic& picture) {
        (void)stream;
        (void)picture;
    }
    virtual void EndFile(TStream& stream) { (void)stream; }
    // Whether the file carries the picture's ICC profile. The save routine
    // converts a tagged picture to sRGB for writers that do not.
    virtual bool WritesICCProfile() const { return false; }

    uint8_t CanWriteResolutions;
};

constexpr uint8_t CanWrite(TPGColorResolution r) { return uint8_t(1u << r); }

// The registries. Each list is kept in extension order (ordinal, lower
// case; formats of one extension in the order they were registered): a
// format takes its place when it is registered, so looking one up never
// changes a list and any number of threads may look up, load and save at
// once. Formats are registered at start-up (InitImageLibrary and the Qt
// part's registration); registering later is safe too, the lists are
// guarded, and a reader or writer once registered stays where it is.
void RegisterFileFormatReader(std::unique_ptr<TFileFormatReader> reader);
void RegisterFileFormatWriter(std::unique_ptr<TFileFormatWriter> writer);
// The registered formats in their order, as they are now.
std::vector<TFileFormatReader*> FileFormatReaders();
std::vector<TFileFormatWriter*> FileFormatWriters();

// Everything registered, taken out and put in whole: tests that work with
// formats of their own set the registry aside with it and give it back.
// No load or save may run meanwhile: the formats taken out are freed by
// their new owner.
struct TFileFormatRegistryContents {
    std::vector<std::unique_ptr<TFileFormatReader>> readers;
    std::vector<std::unique_ptr<TFileFormatWriter>> writers;
};
TFileFormatRegistryContents ExchangeFileFormatRegistry(TFileFormatRegistryContents contents);

// Returns the reader for the stream (position kept), or nullptr.
TFileFormatReader* FindReader(TStream& stream, const std::string& extensionHint);
// Returns the writer for an extension (with or without dot, any case), or nullptr.
TFileFormatWriter* FindWriter(const std::string& extension);

bool GetImageInfo(TStream& stream, const std::string& extensionHint, int imageIndex,
                  std::string& type, TPGImageInfo& info);
bool GetFileImageInfo(const std::string& fileName, int imageIndex, std::string& type,
                      TPGImageInfo& info);

std::string OpenFilterString();
std::string SaveFilterString();

// The colour resolution a picture has now (after IdentifyPalette).
TPGColorResolution ColorResolutionOf(const TPixelGraphic& picture);

// The resolutions tried in turn when a writer cannot store `current`; the
// first one the writer can write is used.
const TPGColorResolution (&ColorResolutionFallback(TPGColorResolution current))[8];
// The resolution a picture of resolution `current` is saved with by `writer`;
// raises EPGCanWriteResolutionsEmpty when the writer accepts none.
TPGColorResolution SaveResolutionFor(TPGColorResolution current, const TFileFormatWriter& writer);
// English display text of a resolution ("16 system colors").
std::string ColorResolutionText(TPGColorResolution r);
// Lower-case extension of a file name without the dot ("" when it has none),
// the hint loading and saving by file name use.
std::string FileExtensionHint(const std::string& fileName);
