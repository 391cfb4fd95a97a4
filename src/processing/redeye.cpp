#include "processing/redeye.h"

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/pixelrows.h"

TRedEyeLimits RedEyeLimitsFor(int v) {
    return {100 - v, v + 100, v + 100};
}

std::unique_ptr<TPixelGraphic> RedEyeRegion(const TPixelGraphic& source, const TPGRect& rect) {
    const TPGRect r = IntersectWithPicture(source, rect.left, rect.top, rect.width, rect.height);
    if (r.Empty()) return nullptr;
    auto region = std::make_unique<TPixelGraphic>();
    region->SetFormat(r.width, r.height, pg24Bit);
    TPGSourceRows rows(source);
    for (int y = 0; y < r.height; ++y) {
        uint8_t* d = region->ScanLine(y);
        const uint8_t* s =
            rows.RowBGR(r.top + y, r.left, r.left + r.width - 1) + int64_t(r.left) * 3;
        std::copy(s, s + int64_t(r.width) * 3, d);
    }
    region->Changed();
    return region;
}

void ReduceRedEye(TPixelGraphic& region, const TRedEyeLimits& limits) {
    if (region.PixelFormat() != pg24Bit) throw EPixelGraphic(PGMessage(36));
    const int w = region.GetWidth(), h = region.GetHeight();
    const int64_t cx = w / 2, cy = h / 2, radius = w < h ? w / 2 : h / 2;
    for (int y = 0; y < h; ++y) {
        uint8_t* row = region.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            // Whole numbers: the distance test is exact when squared.
            const int64_t dx = x - cx, dy = y - cy;
            if (dx * dx + dy * dy > radius * radius) continue;
            uint8_t* p = row + int64_t(x) * 3;
            if (p[2] > limits.red && p[1] < limits.green && p[0] < limits.blue)
                p[0] = p[1] = p[2] = 0;
        }
    }
    region.Changed();
}

std::unique_ptr<TPixelGraphic> RedEyePicture(const TPixelGraphic& source, const TPGRect& rect,
                                             const TRedEyeLimits& limits) {
    const TPGRect r = IntersectWithPicture(source, rect.left, rect.top, rect.width, rect.height);
    auto region = RedEyeRegion(source, r);
    if (!region) return nullptr;
    ReduceRedEye(*region, limits);
    auto result = PGSnapshot(source);
    result->CopyRect(r.left, r.top, *region, 0, 0, r.width, r.height);
    return result;
}
