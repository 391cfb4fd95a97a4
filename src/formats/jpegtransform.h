#pragma once
// Lossless JPEG transforms: right-angle turns, mirrors and block-aligned crops
// done on the stored DCT blocks (TurboJPEG's tjTransform), so no pixel is
// decoded and encoded again. Every marker of the source (EXIF, ICC profile,
// comments, XMP) is carried over; the EXIF thumbnail is turned with the
// picture (or dropped when it cannot be), and the EXIF pixel sizes follow.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/exceptions.h"

// The eight ways a picture can lie; clockwise turns as the user sees them.
enum class TJpegTurn {
    None,
    FlipHorizontal, // mirror left to right
    FlipVertical,   // mirror top to bottom
    Transpose,      // mirror across the top-left to bottom-right diagonal
    Transverse,     // mirror across the top-right to bottom-left diagonal
    Rotate90,       // clockwise
    Rotate180,
    Rotate270       // clockwise, i.e. a quarter turn counter-clockwise
};

struct TJpegTransform {
    TJpegTurn turn = TJpegTurn::None;
    // First turn the picture by its EXIF orientation (then `turn` on top) and
    // record orientation 1 (as stored) in the result.
    bool applyExifOrientation = false;
    // Keep only this rectangle of the turned picture; its left and top must
    // lie on the block grid of the turned picture.
    bool crop = false;
    int cropX = 0, cropY = 0, cropWidth = 0, cropHeight = 0;
    // Drop the partial edge blocks a turn cannot move exactly; without it
    // such a turn is refused.
    bool trim = false;
};

// A turn refused because the picture is not a whole number of blocks on a
// side the turn moves (allowed with `trim`).
class EJpegTransformInexact : public EPGJPGFileFormatReaderWriter {
  public:
    explicit EJpegTransformInexact(const std::string& msg) : EPGJPGFileFormatReaderWriter(msg) {}
};

struct TJpegTransformResult {
    std::vector<uint8_t> data; // the new file (the source's bytes when nothing changed)
    bool changed = false;      // false: the transform leaves the file as it is
    int width = 0, height = 0; // of the result
};

// The turn that puts a picture of EXIF orientation 1..8 upright (None for
// anything else).
TJpegTurn JpegTurnOfOrientation(int orientation);
// `first` followed by `second`, as one turn.
TJpegTurn JpegTurnThen(TJpegTurn first, TJpegTurn second);
// True for the turns that swap width and height.
bool JpegTurnSwapsSides(TJpegTurn turn);

// The EXIF orientation (IFD0 tag 274) of JPEG data: 1..8, 1 when there is
// none or it cannot be read.
int JpegExifOrientationOf(const uint8_t* data, std::size_t size);

// Transforms JPEG data in memory. Raises EPGJPGFileFormatReaderWriter ("JPG:
// ...") for data that is not a readable JPEG, a turn that is not exact
// without `trim`, a crop off the block grid or off the picture.
TJpegTransformResult JpegTransformData(const uint8_t* data, std::size_t size,
                                       const TJpegTransform& transform);

// Transforms the JPEG file `source` into `target` (which may be the same
// file) through a temporary file renamed over the target only once it is
// complete; on any failure the target is left as it was. A read-only target
// is refused with a message naming it. When the transform changes nothing
// and `target` is `source`, the file is not rewritten.
TJpegTransformResult JpegTransformFile(const std::string& source, const std::string& target,
                                       const TJpegTransform& transform);
