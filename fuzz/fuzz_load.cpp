// Loading arbitrary bytes with no name: every registered reader's signature
// test, and whichever reader accepts them.

#include <cstddef>
#include <cstdint>

#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/registry.h"
#include "core/stream.h"
#include "formats/library.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        InitImageLibrary();
        PGMaxImageBytes = 64LL << 20;
        return true;
    }();
    (void)ready;
    try {
        TPixelGraphic g;
        TReadOnlyMemoryStream s(data, int64_t(size));
        g.SetReadWarningAction(pgwaIgnore);
        g.LoadFromStream(s);
    } catch (const std::exception&) {
    }
    TReadOnlyMemoryStream s(data, int64_t(size));
    std::string type;
    TPGImageInfo info;
    (void)GetImageInfo(s, "", 0, type, info);
    return 0;
}
