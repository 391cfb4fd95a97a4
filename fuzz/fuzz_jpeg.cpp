// JPEG reader on arbitrary bytes: the first byte picks the reader options
// (warning action, fast decoding), the rest is the file.
#include <cstddef>
#include <cstdint>

#include "core/exceptions.h"
#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/jpeg.h"
#include "formats/library.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool init = [] {
        InitImageLibrary();
        PGMaxImageBytes = 64LL << 20;
        return true;
    }();
    (void)init;
    if (size < 1) return 0;
    TJPGFileFormatReader reader;
    TReadOnlyMemoryStream s(data + 1, int64_t(size - 1));
    try {
        TPixelGraphic pic;
        pic.SetReadWarningAction(TPGWarningAction(data[0] & 3));
        pic.SetFastRead(data[0] & 4);
        pic.SetBackgroundColor(RGB(data[0], 128, 255 - data[0]));
        reader.Read(s, pic, 0);
    } catch (const Exception&) {
    }
    try {
        s.SetPosition(0);
        TPGImageInfo info;
        reader.GetInfo(s, 0, info);
    } catch (const Exception&) {
    }
    return 0;
}
