// Error-diffusion dithering into palette pictures: the state every pixel
// operation starts and ends, and the public per-pixel entry.

#include <algorithm>
#include <array>
#include <typeinfo>

#include "core/dither.h"
#include "core/pixelgraphic.h"
#include "core/pixelrows.h"

namespace {
std::array<uint8_t, 1021> MakeClampTable() {
    std::array<uint8_t, 1021> t{};
    for (int v = -510; v <= 510; ++v)
        t[size_t(v + 510)] = uint8_t(std::clamp(v, 0, 255));
    return t;
}
const std::array<uint8_t, 1021> kClampTable = MakeClampTable();

// The limit on carried error that suits each standard palette: coarse
// palettes need large errors to render shades at all, fine grey ramps only a
// trace of it, and optimised palettes none so that flat areas stay flat.
int AutoErrorLimit(TPaletteIdent p) {
    switch (p) {
    case pBlackWhite:
        return 255;
    case pSysGray4:
    case pSys16:
    case pGray4:
        return 128;
    case pGray236:
        return 3;
    case pGray256:
        return 2;
    case pSpecial125:
    case pSpecial252:
        return 104;
    case pSpecial216:
        return 86;
    case pOptimized252Sys16:
    case pSource:
        return 0;
    default: // pNone, pTrueColor, pUnknown, pGray16
        return 32;
    }
}
} // namespace

const uint8_t* const ClampTable = kClampTable.data() + 510;

void TPixelGraphic::BeginDither() {
    auto st = std::make_unique<TPGDitherState>();
    st->Width = width_;
    st->PlainPicture = typeid(*this) == typeid(TPixelGraphic);
    st->Current.assign(size_t(width_ + 2) * 3, 0);
    st->Next.assign(size_t(width_ + 2) * 3, 0);
    st->Gray = std::all_of(palette_.begin(), palette_.end(), [](TRGB c) {
        return GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c);
    });

    int limit = ditherErrorLimit_;
    bool soft = ditherErrorLimitSoft_;
    if (ditherErrorLimitAuto_) {
        limit = AutoErrorLimit(paletteIdent_);
        soft = true;
    }
    int32_t* t = st->ErrorLimit.data() + 255;
    for (int i = 0; i <= 255; ++i)
        t[i] = i;
    if (limit < 255)
        for (int i = limit; i <= 255; ++i)
            t[i] = limit;
    // A soft knee instead of a hard clip, so that large errors are not all
    // carried at exactly the limit.
    if (soft)
        for (int i = limit / 2; i <= (3 * limit) / 2 && i < 255; ++i)
            t[i] = i / 2 + limit / 4;
    for (int i = 1; i <= 255; ++i)
        t[-i] = -t[i];
    ditherState_ = std::move(st);
}

void TPixelGraphic::NextDitherRow() {
    TPGDitherState* st = ditherState_.get();
    if (!st) return;
    std::swap(st->Current, st->Next);
    std::fill(st->Next.begin(), st->Next.end(), 0);
    ++st->Row;
}

void TPixelGraphic::DitherPixel(int x, int y, int red, int green, int blue) {
    red = std::clamp(red, 0, 255);
    green = std::clamp(green, 0, 255);
    blue = std::clamp(blue, 0, 255);
    TPGDitherState* st = ditherState_.get();
    if (!st || pixelFormat_ == pg24Bit || x < 0 || x >= std::min(width_, st->Width)) {
        // Without dithering state (or off its rows) the colour is plainly
        // mapped; the error rows are never touched out of their bounds.
        SetPixelColor(x, y, RGB(red, green, blue));
        return;
    }
    uint8_t* row = ScanLine(y);
    if (!row) return;
    PGDitherInto(*this, *st, row, x, y, red, green, blue);
}

void TPixelGraphic::EndDither() {
    ditherState_.reset();
}

bool PGStartDithering(TPixelGraphic& dest) {
    if (dest.PixelFormat() != pg24Bit && dest.Dither()) {
        dest.BeginDither();
        return true;
    }
    dest.EndDither();
    return false;
}
