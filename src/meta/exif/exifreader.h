#pragma once
// The EXIF reader: lists the tags of the TIFF-structured block at the start
// of a picture file (the EXIF block of a JPEG file, the header of a TIFF
// file) - IFD0 and its chain, the Exif directory and the GPS directory - one
// row per tag with its description and its value as text.
//
// Everything in the block is hostile: every offset is checked against the
// size of the data before anything is read or allocated, a chain that loops
// or runs off the end stops there, and a block built to make rows or text
// without end stops at a cap. A stop keeps the rows read before it.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TStream;

// One tag as the viewer lists it.
struct TExifRow {
    std::string Description; // "Make", "Exposure Time", "Undefined (1)"
    std::string Value;       // UTF-8, the raw form: the first number, "4/1", "48,50,50,49"
    std::string Text;        // UTF-8, as people read it: "4 s", "0221" (else as Value)
    std::string Ifd;         // "IFD0", "IFD1", ... then "ExifIFD", "ExifIFD1", ..., then "GPS"
    uint16_t Tag = 0;
    uint16_t Type = 0;
    uint32_t Count = 0;
};

// Bounds on what one file may ask for. Real files stay far below them; a
// cap reached ends the reading like a broken chain.
struct TExifLimits {
    int64_t MaxRows = 100000;
    int64_t MaxValueBytes = 4 << 20; // bytes formatted into value texts
    int MaxIfds = 1024;              // directories walked, both chains together
};

// Handed each row as soon as it is formatted.
using TExifRowSink = std::function<void(const TExifRow&)>;

// Reads the block from the start of `stream`. Nothing found gives no rows;
// no structure in the data raises: only the stream's own open errors
// (raised before this is called) reach the caller.
void ReadExif(TStream& stream, const TExifRowSink& sink, const TExifLimits& limits = {});
std::vector<TExifRow> ReadExifRows(TStream& stream, const TExifLimits& limits = {});

// The description of a tag of IFD0 or the Exif directory; "Undefined (N)"
// for a tag outside the table (meta/exif/exifdecode.h names the GPS tags).
std::string ExifTagDescription(uint16_t tag);
// Bytes per value of a TIFF field type (1 to 12); 0 for any other type.
int ExifTypeSize(uint16_t type);

// Text of `n` bytes as the viewer shows them: UTF-8 when they are valid
// UTF-8, else Latin-1.
std::string ExifText(const uint8_t* bytes, size_t n);
