// The PNG reader on arbitrary bytes: the first byte picks the reader options
// (warning action, fast decoding, background), the rest is the file; what was
// read is written back.
#include "formats/png.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TPNGFileFormatReader reader;
    FuzzReaderWithOptions(reader, data, size, "png");
    return 0;
}
