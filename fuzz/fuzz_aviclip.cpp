// The clip parser and every frame of the clip through the frame decoder.
#include "formats/aviclip.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzStart();
    TReadOnlyMemoryStream s(data, int64_t(size));
    try {
        const TAviClip clip = ParseAviClip(s);
        TAviFrameDecoder decoder(clip);
        TPixelGraphic g;
        for (size_t i = 0; i < clip.frames.size() && i < 64; ++i)
            decoder.DecodeFrame(s, int(i), g);
    } catch (const std::exception&) {
    }
    return 0;
}
