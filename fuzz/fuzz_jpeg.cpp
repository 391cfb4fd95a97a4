// The JPEG reader on arbitrary bytes: the first byte picks the reader options
// (warning action, fast decoding, background), the rest is the file.
#include "fuzz_support.h"
#include "formats/jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TJPGFileFormatReader reader;
    FuzzReaderWithOptions(reader, data, size);
    return 0;
}
