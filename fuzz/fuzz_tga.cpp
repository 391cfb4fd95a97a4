// The Targa reader on arbitrary bytes.
#include "fuzz_support.h"
#include "formats/tga.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TTGAFileFormatReader reader;
    FuzzReader(reader, data, size);
    return 0;
}
