// The PCX reader on arbitrary bytes.
#include "formats/pcx.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TPCXFileFormatReader reader;
    FuzzReader(reader, data, size);
    return 0;
}
