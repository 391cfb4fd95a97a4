// The TIFF reader on arbitrary bytes.
#include "fuzz_support.h"
#include "formats/tiff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TTIFFileFormatReader reader;
    FuzzReader(reader, data, size);
    return 0;
}
