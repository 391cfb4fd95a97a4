// The PCX reader on arbitrary bytes: Read, then GetInfo.

#include <cstddef>
#include <cstdint>

#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/pcx.h"
#include "formats/library.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        InitImageLibrary();
        PGMaxImageBytes = 64LL << 20;
        return true;
    }();
    (void)ready;
    TPCXFileFormatReader reader;
    try {
        TPixelGraphic g;
        g.SetReadWarningAction(pgwaIgnore);
        TReadOnlyMemoryStream s(data, int64_t(size));
        reader.Read(s, g, 0);
        for (int y = 0; y < g.GetHeight(); y += 7)
            for (int x = 0; x < g.GetWidth(); x += 7) (void)g.GetPixelColor(x, y);
    } catch (const std::exception&) {
    }
    try {
        TReadOnlyMemoryStream s(data, int64_t(size));
        TPGImageInfo info;
        reader.GetInfo(s, 0, info);
    } catch (const std::exception&) {
    }
    return 0;
}
