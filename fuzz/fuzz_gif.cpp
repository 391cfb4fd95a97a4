// GIF reader on arbitrary bytes: the first byte picks the picture index.
#include <cstddef>
#include <cstdint>

#include "core/exceptions.h"
#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/gif.h"
#include "formats/library.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool init = [] {
        InitImageLibrary();
        PGMaxImageBytes = 64LL << 20;
        return true;
    }();
    (void)init;
    if (size < 1) return 0;
    const int index = data[0] % 4;
    tGifFileFormatReader reader;
    TReadOnlyMemoryStream s(data + 1, int64_t(size - 1));
    try {
        TPixelGraphic pic;
        reader.Read(s, pic, index);
    } catch (const Exception&) {
    }
    try {
        s.SetPosition(0);
        TPGImageInfo info;
        reader.GetInfo(s, index, info);
    } catch (const Exception&) {
    }
    return 0;
}
