// Loading arbitrary bytes with no name: every registered reader's signature
// test, and whichever reader accepts them.

#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzStart();
    try {
        TPixelGraphic g;
        TReadOnlyMemoryStream s(data, int64_t(size));
        g.SetReadWarningAction(pgwaIgnore);
        g.LoadFromStream(s);
        FuzzTouch(g);
    } catch (const std::exception&) {
    }
    TReadOnlyMemoryStream s(data, int64_t(size));
    std::string type;
    TPGImageInfo info;
    (void)GetImageInfo(s, "", 0, type, info);
    return 0;
}
