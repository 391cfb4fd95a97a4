// The BMP reader and the packed-DIB decoder on arbitrary bytes.

#include <cstddef>
#include <cstdint>

#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/bmp.h"
#include "formats/library.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        InitImageLibrary();
        PGMaxImageBytes = 64LL << 20;
        return true;
    }();
    (void)ready;
    TBMPFileFormatReader reader;
    try {
        TPixelGraphic g;
        TReadOnlyMemoryStream s(data, int64_t(size));
        reader.Read(s, g, 0);
        // Touch every pixel the decoder claims to have made.
        for (int y = 0; y < g.GetHeight(); y += 7)
            for (int x = 0; x < g.GetWidth(); x += 7)
                (void)g.GetPixel(x, y);
    } catch (const std::exception&) {
    }
    try {
        TReadOnlyMemoryStream s(data, int64_t(size));
        TPGImageInfo info;
        reader.GetInfo(s, 0, info);
    } catch (const std::exception&) {
    }
    if (size > 14) {
        try {
            TPixelGraphic g;
            DecodePackedDIB(g, data + 14, size - 14);
            (void)EncodePackedDIB(g);
        } catch (const std::exception&) {
        }
    }
    return 0;
}
