// The PBM/PGM/PPM reader on arbitrary bytes.
#include "fuzz_support.h"
#include "formats/pxm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TPPMFileFormatReader reader;
    FuzzReader(reader, data, size);
    return 0;
}
