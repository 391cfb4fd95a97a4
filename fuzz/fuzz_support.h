#pragma once
// Shared by the fuzz targets: start the library once with a small picture
// cap, and run one reader over arbitrary bytes.

#include <cstddef>
#include <cstdint>
#include <exception>

#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/registry.h"
#include "core/stream.h"
#include "formats/library.h"

constexpr long long kFuzzMaxImageBytes = 1LL << 20;

// Reads a sample of the pixels the reader claims to have made: every 7th
// pixel of the first rows, so a large picture costs no more than a small one.
inline void FuzzTouch(const TPixelGraphic& g) {
    for (int y = 0; y < g.GetHeight() && y < 64; y += 3)
        for (int x = 0; x < g.GetWidth() && x < 4096; x += 7)
            (void)g.GetPixelColor(x, y);
}

inline void FuzzStart() {
    static const bool ready = [] {
        InitImageLibrary();
        // A small cap keeps each run about the input, not about clearing
        // and walking a huge picture it claims; the cap's own behaviour is
        // checked by the unit tests.
        PGMaxImageBytes = kFuzzMaxImageBytes;
        return true;
    }();
    (void)ready;
}

// Reads the bytes into a fresh picture set up by `prepare`, touches the
// pixels the reader claims to have made, then asks GetInfo of the same bytes.
// A library error is the expected answer to most inputs; a crash or a
// sanitizer report is a finding.
template <class Prepare>
void FuzzReader(TFileFormatReader& reader, const uint8_t* data, size_t size, int imageIndex,
                Prepare&& prepare) {
    FuzzStart();
    try {
        TPixelGraphic g;
        prepare(g);
        TReadOnlyMemoryStream s(data, int64_t(size));
        reader.Read(s, g, imageIndex);
        FuzzTouch(g);
    } catch (const std::exception&) {
    }
    try {
        TReadOnlyMemoryStream s(data, int64_t(size));
        TPGImageInfo info;
        reader.GetInfo(s, imageIndex, info);
    } catch (const std::exception&) {
    }
}

inline void FuzzReader(TFileFormatReader& reader, const uint8_t* data, size_t size, int imageIndex = 0) {
    FuzzReader(reader, data, size, imageIndex, [](TPixelGraphic& g) { g.SetReadWarningAction(pgwaIgnore); });
}

// Readers whose behaviour depends on the picture's options: the first byte
// picks the warning action, fast decoding and the background colour.
inline void FuzzReaderWithOptions(TFileFormatReader& reader, const uint8_t* data, size_t size) {
    if (size < 1) return;
    const uint8_t o = data[0];
    FuzzReader(reader, data + 1, size - 1, 0, [o](TPixelGraphic& g) {
        g.SetReadWarningAction(TPGWarningAction(o & 3));
        g.SetFastRead(o & 4);
        g.SetBackgroundColor(RGB(o, 128, 255 - o));
    });
}
