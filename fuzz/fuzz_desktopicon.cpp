// The preview's icon loader on arbitrary bytes.
#include "formats/desktopicon.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzStart();
    TPixelGraphic g;
    TReadOnlyMemoryStream s(data, int64_t(size));
    try {
        if (LoadDesktopIcon(s, RGB(1, 2, 3), g))
            for (int y = 0; y < g.GetHeight(); y += 7)
                for (int x = 0; x < g.GetWidth(); x += 7)
                    (void)g.GetPixelColor(x, y);
    } catch (const std::exception&) {
    }
    return 0;
}
