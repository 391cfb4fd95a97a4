// The lossless JPEG transform on arbitrary bytes: the first byte picks the
// turn (low three bits), applying the EXIF orientation, trimming and a crop;
// the rest is the file. Covers the marker walk, the EXIF rewrite (orientation,
// pixel sizes, thumbnail) and TurboJPEG's transform.
#include "core/exceptions.h"
#include "formats/jpegtransform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    TJpegTransform t;
    t.turn = TJpegTurn(data[0] & 7);
    t.applyExifOrientation = data[0] & 8;
    t.trim = data[0] & 16;
    if (data[0] & 32) {
        t.crop = true;
        t.cropX = 16;
        t.cropY = 0;
        t.cropWidth = 8;
        t.cropHeight = 8;
    }
    try {
        (void)JpegExifOrientationOf(data + 1, size - 1);
        (void)JpegTransformData(data + 1, size - 1, t);
    } catch (const Exception&) {
    }
    return 0;
}
