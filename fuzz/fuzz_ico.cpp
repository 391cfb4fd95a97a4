// The icon reader on arbitrary bytes: the first byte picks the picture index.
#include "formats/ico.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    tIcoFileFormatReader reader;
    FuzzReader(reader, data + 1, size - 1, data[0] % 4, [](TPixelGraphic&) {});
    return 0;
}
