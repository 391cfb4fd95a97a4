// The PBM/PGM/PPM reader on arbitrary bytes, and the writer on what it read.
#include "formats/pxm.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TPPMFileFormatReader reader;
    FuzzReader(reader, data, size, 0, "ppm");
    return 0;
}
