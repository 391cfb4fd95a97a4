// tavtool filter's step parser on arbitrary words, each parsed chain applied
// to an 8 x 8 picture. The first byte picks the picture: 24-bit or an 8-bit
// palette one; the rest are words separated by spaces or line ends.

#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "processing/filterchain.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 4096) return 0;
    FuzzStart();
    std::vector<std::string> words(1);
    for (size_t i = 1; i < size; ++i) {
        const char c = char(data[i]);
        if (c == ' ' || c == '\n') {
            if (!words.back().empty()) words.emplace_back();
        } else {
            words.back() += c;
        }
    }
    if (words.back().empty()) words.pop_back();
    TFilterChainContext ctx;
    std::vector<TFilterStep> steps;
    try {
        steps = ParseFilterChain(words, ctx);
    } catch (const TFilterParseError&) {
        return 0;
    }
    auto picture = std::make_unique<TPixelGraphic>();
    const bool palette = data[0] & 1;
    picture->SetFormat(8, 8, palette ? pg8Bit : pg24Bit);
    if (palette) {
        picture->SetPaletteCount(256);
        for (int i = 0; i < 256; ++i)
            picture->SetPaletteEntry(i, RGB(i, 255 - i, (i * 37) & 255));
    }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            picture->SetPixel(x, y,
                              palette ? (x * 8 + y + data[0]) & 255 : RGB(x * 32, y * 32, data[0]));
    try {
        ApplyFilterChain(picture, steps, ctx);
    } catch (const std::exception&) {
        // A library error (a kernel refused) is an answer, not a finding.
    }
    for (int y = 0; y < picture->GetHeight(); ++y)
        for (int x = 0; x < picture->GetWidth(); ++x)
            (void)picture->GetPixelColor(x, y);
    return 0;
}
