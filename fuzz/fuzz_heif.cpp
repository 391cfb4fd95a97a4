// The HEIF reader on arbitrary bytes: the first byte picks the top-level
// image and a load-size hint (the thumbnail path).
#include "formats/heif.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t o = data[0];
    THEICFileFormatReader reader;
    FuzzReader(reader, data + 1, size - 1, o % 2, [o](TPixelGraphic& g) {
        g.SetBackgroundColor(RGB(o, 255 - o, 128));
        g.SetLoadSizeHint(o & 2 ? 16 : 0);
    });
    return 0;
}
