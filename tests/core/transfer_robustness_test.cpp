// Every pixel operation with arbitrary rectangles, centres, angles and pixel
// formats: nothing is read or written outside a picture (the sanitizers
// watch), and palette pictures only ever get indices of their palette.

#include <gtest/gtest.h>

#include <random>

#include "core/optpalette.h"
#include "core/palettes.h"
#include "core/pixelgraphic.h"
#include "transfer_fixtures.h"

namespace {

std::unique_ptr<TPixelGraphic> RandomPicture(std::mt19937& rng) {
    const TPGPixelFormat f = TPGPixelFormat(rng() % 4);
    const int w = int(rng() % 9), h = int(rng() % 9);
    auto g = std::make_unique<TPixelGraphic>();
    g->SetFormat(w, h, f);
    if (f != pg24Bit) {
        const TPaletteIdent ids[] = {pBlackWhite, pSys16, pGray4, pGray256, pSpecial216, pUnknown};
        TPaletteIdent id = ids[rng() % 6];
        if (g->ColorCount() < int(StandardPalette(id).size())) id = pUnknown;
        g->SetPaletteIdent(id);
        if (id == pUnknown) {
            g->SetPaletteCount(g->ColorCount());
            for (int i = 0; i < g->ColorCount(); ++i)
                g->SetPaletteEntry(i, TRGB(rng() & 0xFFFFFF));
        }
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            g->SetPixel(x, y,
                        f == pg24Bit ? TRGB(rng() & 0xFFFFFF) : int(rng() % g->PaletteCount()));
    g->SetDither(rng() % 2);
    g->SetStretchMode(TStretchMode(rng() % 3));
    g->SetRotateInterpolation(rng() % 2);
    return g;
}

int Coord(std::mt19937& rng) {
    return int(rng() % 25) - 8;
}

} // namespace

TEST(PixelTransfer, ArbitraryArgumentsStayInside) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 400; ++round) {
        auto src = RandomPicture(rng);
        auto dst = RandomPicture(rng);
        TPixelGraphic& s = rng() % 8 == 0 ? *dst : *src; // sometimes the picture itself
        switch (round % 7) {
        case 0:
            dst->StretchCopy(Coord(rng), Coord(rng), Coord(rng), Coord(rng), s, Coord(rng),
                             Coord(rng), Coord(rng), Coord(rng));
            break;
        case 1:
            dst->CopyRect(Coord(rng), Coord(rng), s, Coord(rng), Coord(rng), Coord(rng),
                          Coord(rng));
            break;
        case 2:
            dst->RotateCopy(Coord(rng), Coord(rng), s, Coord(rng), Coord(rng), Coord(rng),
                            Coord(rng), Coord(rng), Coord(rng),
                            (long double)(int(rng() % 721) - 360) / 2);
            break;
        case 3:
            dst->Rotate(s, (long double)(int(rng() % 721) - 360) / (rng() % 2 ? 1 : 3), rng() % 2);
            break;
        case 4:
            dst->DrawBorder(s, rng() % 2, Coord(rng), TRGB(rng() & 0xFFFFFF));
            break;
        case 5:
            dst->FlipHorizontal();
            dst->FlipVertical();
            break;
        default:
            if (dst->PixelFormat() != pg24Bit && !src->GetEmpty()) {
                BuildOptimizedPalette(*dst, *src, int(rng() % 20) - 2, rng() % 2);
                if (dst->PaletteCount() > 0) dst->CopyFrom(*src);
            }
            break;
        }
        if (dst->PixelFormat() != pg24Bit && dst->PaletteCount() > 0 &&
            dst->PaletteIdent() != pTrueColor) {
            for (int v : Values(*dst))
                ASSERT_LT(v, dst->PaletteCount()) << "round " << round;
        }
    }
}
