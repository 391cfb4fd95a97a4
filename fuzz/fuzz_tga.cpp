// The Targa reader on arbitrary bytes, and the writer on what it read.
#include "formats/tga.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TTGAFileFormatReader reader;
    FuzzReader(reader, data, size, 0, "tga");
    return 0;
}
