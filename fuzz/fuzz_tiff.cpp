// The TIFF reader on arbitrary bytes, and the writer on what it read.
#include "formats/tiff.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TTIFFileFormatReader reader;
    FuzzReader(reader, data, size, 0, "tif");
    return 0;
}
