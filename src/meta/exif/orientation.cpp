#include "meta/exif/orientation.h"

#include <cstring>

namespace {

// Rows become columns: (x, y) -> (y, x).
std::unique_ptr<TPixelGraphic> Transposed(const TPixelGraphic& src) {
    const int w = src.GetWidth(), h = src.GetHeight();
    auto dst = std::make_unique<TPixelGraphic>();
    dst->SetFormat(h, w, src.PixelFormat());
    if (src.PaletteCount() > 0) dst->CopyPaletteFrom(src);
    if (src.PixelFormat() == pg24Bit) {
        for (int y = 0; y < w; ++y) {
            uint8_t* out = dst->ScanLine(y);
            const int64_t col = int64_t(y) * 3;
            for (int x = 0; x < h; ++x) std::memcpy(out + int64_t(x) * 3, src.ScanLine(x) + col, 3);
        }
    } else {
        for (int y = 0; y < w; ++y)
            for (int x = 0; x < h; ++x) dst->SetPixel(x, y, src.GetPixel(y, x));
    }
    return dst;
}

} // namespace

void ApplyExifOrientation(std::unique_ptr<TPixelGraphic>& picture, int orientation) {
    if (!picture || picture->GetEmpty() || orientation < 2 || orientation > 8) return;
    // The pixels end upright: the metadata they keep says so, so a save does
    // not have them turned a second time.
    TPGMetadata metadata = picture->Metadata();
    SetExifBlockOrientation(metadata.Exif, 1);
    if (orientation >= 5) picture = Transposed(*picture);
    picture->SetMetadata(std::move(metadata));
    switch (orientation) {
    case 2: // mirrored
        picture->FlipHorizontal();
        break;
    case 3: // half a turn
    case 7: // transposed across the other diagonal
        picture->FlipHorizontal();
        picture->FlipVertical();
        break;
    case 4: // upside down mirrored
        picture->FlipVertical();
        break;
    case 6: // a quarter turn clockwise
        picture->FlipHorizontal();
        break;
    case 8: // a quarter turn anticlockwise
        picture->FlipVertical();
        break;
    default: // 5: transposed
        break;
    }
}
