#pragma once
// The metadata blocks a picture file carries besides its pixels - the EXIF
// block, the ICC colour profile and text comments - kept with the picture so
// that saving writes them back wherever the target format can hold them.
//
// Everything here reads hostile data: every offset of an EXIF block is
// checked before it is used, a directory chain that loops or runs off the end
// stops there, and each block is bounded in size when read.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Caps on what one file may make the picture hold. Real files stay far
// below: an EXIF block of a JPEG is at most 64 KB; an ICC profile split over
// APP2 segments is at most 255 chunks of 65,519 bytes.
constexpr size_t kPGMaxExifBytes = size_t(4) << 20;
constexpr size_t kPGMaxICCBytes = size_t(255) * 65519;
constexpr size_t kPGMaxCommentBytes = size_t(1) << 20; // all comments together
constexpr size_t kPGMaxComments = 64;

struct TPGMetadata {
    // The TIFF-structured EXIF block ("II*\0" or "MM\0*" first), without the
    // "Exif\0\0" header a JPEG puts before it.
    std::vector<uint8_t> Exif;
    // The ICC profile, whole.
    std::vector<uint8_t> ICC;
    // Text comments (JPEG COM segments, PNG tEXt "Comment"), as stored.
    std::vector<std::string> Comments;

    bool Empty() const { return Exif.empty() && ICC.empty() && Comments.empty(); }
    void Clear() { *this = TPGMetadata{}; }
    // Adds a comment while the caps allow; false when it was dropped.
    bool AddComment(std::string text);
    bool operator==(const TPGMetadata&) const = default;
};

// ---- EXIF blocks

// True when `block` starts with a TIFF header whose first directory lies inside it.
bool IsExifBlock(const std::vector<uint8_t>& block);

// The block a writer puts into a file of `width` x `height` pixels: a copy of
// `block` with PixelXDimension and PixelYDimension (when present) set to the
// saved size. Changed in place, so every other offset in the block (a maker
// note's among them) stays valid. A block that is no EXIF block is returned
// as it is.
std::vector<uint8_t> ExifBlockForSave(const std::vector<uint8_t>& block, int width, int height);

// The Orientation tag (IFD0 274) of the block: 1 to 8, else 1.
int ExifBlockOrientation(const std::vector<uint8_t>& block);
// Sets the Orientation tag in place where the block has one (for pixels
// that were turned upright: 1).
void SetExifBlockOrientation(std::vector<uint8_t>& block, int orientation);

// One directory entry of an EXIF block, with its value bytes in the byte
// order of the block it came from.
struct TExifEntry {
    uint16_t Tag = 0;
    uint16_t Type = 0;
    uint32_t Count = 0;
    std::vector<uint8_t> Value;
};

// The directories of an EXIF block a TIFF file carries in its own
// directories: IFD0's descriptive tags, the Exif directory and the GPS
// directory (pointers and picture-structure tags left out).
struct TExifDirectories {
    bool BigEndian = false;
    std::vector<TExifEntry> Ifd0, ExifIfd, GpsIfd;
    // A TIFF file's ICC profile (IFD0 tag 34675), when reading one; never
    // part of the EXIF block.
    std::vector<uint8_t> ICC;
    bool Empty() const { return Ifd0.empty() && ExifIfd.empty() && GpsIfd.empty(); }
};

// Reads `size` bytes at `offset` of the TIFF structure into `out`; false when
// they are not all there.
using TExifByteSource = std::function<bool(uint64_t offset, size_t size, uint8_t* out)>;

// Reads the directories of a TIFF structure of `size` bytes. False when it is
// none (no header, first directory outside).
bool ReadExifDirectories(const TExifByteSource& read, uint64_t size, TExifDirectories& dirs);
bool ReadExifDirectories(const std::vector<uint8_t>& block, TExifDirectories& dirs);
// An EXIF block of the directories (empty when there is nothing to hold).
std::vector<uint8_t> BuildExifBlock(const TExifDirectories& dirs);
// One directory (sorted by tag, no next directory) whose long values follow
// it, for a place `at` bytes after the start of its TIFF structure.
std::vector<uint8_t> ExifDirectoryBytes(std::vector<TExifEntry> entries, bool bigEndian,
                                        uint32_t at);
// A one-value LONG entry.
TExifEntry ExifLongEntry(uint16_t tag, uint32_t value, bool bigEndian);
// The entries' values turned into the other byte order.
void SwapExifEntryOrder(TExifEntry& e);
// Bytes per value of a TIFF field type (1 to 12); 0 for any other type.
int ExifFieldTypeSize(uint16_t type);
// Whether IFD0 tag `tag` is one the EXIF block keeps for a TIFF file
// (descriptions, maker, dates, orientation - not the picture's structure).
bool IsDescriptiveIfd0Tag(uint16_t tag);
