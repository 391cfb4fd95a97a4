// The BMP reader and the packed-DIB decoder on arbitrary bytes, and the writer
// on what was read.
#include "formats/bmp.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TBMPFileFormatReader reader;
    FuzzReader(reader, data, size, 0, "bmp");
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
