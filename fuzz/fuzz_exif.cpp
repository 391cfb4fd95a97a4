// The EXIF reader on arbitrary bytes: every row it hands on is touched, and
// small caps make blocks built for amplification end quickly.
#include <cstddef>
#include <cstdint>

#include "core/stream.h"
#include "meta/exif/exifreader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TReadOnlyMemoryStream s(data, int64_t(size));
    TExifLimits limits;
    limits.MaxRows = 20000;
    limits.MaxValueBytes = 1 << 20;
    size_t total = 0;
    ReadExif(
        s, [&](const TExifRow& r) { total += r.Description.size() + r.Value.size(); }, limits);
    (void)total;
    return 0;
}
