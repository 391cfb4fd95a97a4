// The WebP reader on arbitrary bytes: the first byte picks the frame (of an
// animation) and the background alpha is composited onto; what it reads
// goes back out through the WebP writer.
#include "formats/webp.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t o = data[0];
    TWebPFileFormatReader reader;
    FuzzReader(
        reader, data + 1, size - 1, o % 4,
        [o](TPixelGraphic& g) { g.SetBackgroundColor(RGB(o, 255 - o, 128)); }, "webp");
    return 0;
}
