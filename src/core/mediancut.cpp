// Median cut: a 24-bit picture's colours counted into a 32 x 64 x 32
// histogram (green gets the finer steps, the eye sees them best), then boxes
// of histogram cells split until there are enough, each box giving the
// count-weighted mean of its cells.

#include <algorithm>
#include <vector>

#include "core/optpalette_parts.h"
#include "core/pixelgraphic.h"

namespace {

constexpr int kScale[3] = {16, 12, 16}; // extents weighed to comparable units

struct THistogram {
    std::vector<uint16_t> Cells = std::vector<uint16_t>(32 * 64 * 32, 0);
    uint16_t At(int r, int g, int b) const { return Cells[size_t((r * 64 + g) * 32 + b)]; }
};

struct TBox {
    int Min[3] = {0, 0, 0};
    int Max[3] = {31, 63, 31};
    int64_t Volume = 0;
    int64_t CellCount = 0;
};

// True when some cell of the box, with `axis` fixed at `v`, is non-empty.
bool SliceUsed(const THistogram& h, const TBox& box, int axis, int v) {
    int lo[3] = {box.Min[0], box.Min[1], box.Min[2]};
    int hi[3] = {box.Max[0], box.Max[1], box.Max[2]};
    lo[axis] = hi[axis] = v;
    for (int r = lo[0]; r <= hi[0]; ++r)
        for (int g = lo[1]; g <= hi[1]; ++g)
            for (int b = lo[2]; b <= hi[2]; ++b)
                if (h.At(r, g, b) != 0) return true;
    return false;
}

// Shrinks the box to its used cells, blue first, then green, then red, and
// recomputes its volume and cell count.
void UpdateBox(const THistogram& h, TBox& box) {
    for (int axis : {2, 1, 0}) {
        if (box.Min[axis] == box.Max[axis]) continue;
        int lo = box.Min[axis];
        while (lo <= box.Max[axis] && !SliceUsed(h, box, axis, lo))
            ++lo;
        if (lo > box.Max[axis]) continue; // an empty box keeps its bounds
        box.Min[axis] = lo;
        int hi = box.Max[axis];
        while (hi > lo && !SliceUsed(h, box, axis, hi))
            --hi;
        box.Max[axis] = hi;
    }
    box.Volume = 0;
    box.CellCount = 1;
    for (int a = 0; a < 3; ++a) {
        const int64_t e = int64_t(box.Max[a] - box.Min[a]) * kScale[a];
        box.Volume += e * e;
        box.CellCount *= box.Max[a] - box.Min[a] + 1;
    }
}

// The count-weighted mean of the cell centres of a box.
TRGB BoxColor(const THistogram& h, const TBox& box) {
    uint64_t total = 0, sum[3] = {0, 0, 0};
    for (int r = box.Min[0]; r <= box.Max[0]; ++r)
        for (int g = box.Min[1]; g <= box.Max[1]; ++g)
            for (int b = box.Min[2]; b <= box.Max[2]; ++b) {
                const uint64_t c = h.At(r, g, b);
                total += c;
                sum[0] += c * uint64_t(r * 8 + 4);
                sum[1] += c * uint64_t(g * 4 + 2);
                sum[2] += c * uint64_t(b * 8 + 4);
            }
    if (total == 0) return 0; // only a box of an empty histogram
    auto mean = [&](int a) { return int((sum[a] + total / 2) / total); };
    return RGB(mean(0), mean(1), mean(2));
}

} // namespace

std::vector<TRGB> MedianCutPalette(TPixelGraphic& dest, const TPixelGraphic& source, int m) {
    THistogram hist;
    const int w = source.GetWidth(), hgt = source.GetHeight();
    for (int y = 0; y < hgt; ++y) {
        const uint8_t* p = source.ScanLine(y);
        for (int x = 0; x < w; ++x, p += 3) {
            uint16_t& cell =
                hist.Cells[size_t(((p[2] >> 3) * 64 + (p[1] >> 2)) * 32 + (p[0] >> 3))];
            if (cell != 65535) ++cell;
        }
        // An abort keeps the rows counted so far.
        if (dest.ProgressStep(&dest, y, hgt - 1)) break;
    }

    const int maxBoxes = std::min(m, 256);
    std::vector<TBox> boxes(1);
    boxes.reserve(size_t(maxBoxes));
    UpdateBox(hist, boxes[0]);
    while (int(boxes.size()) < maxBoxes) {
        // First split the most populous boxes, then the widest.
        const bool byCount = 2 * int(boxes.size()) <= m;
        int chosen = -1;
        for (int i = 0; i < int(boxes.size()); ++i) {
            const TBox& b = boxes[size_t(i)];
            if (b.Volume <= 0) continue;
            if (chosen < 0) {
                chosen = i;
                continue;
            }
            const TBox& c = boxes[size_t(chosen)];
            if (byCount ? b.CellCount > c.CellCount : b.Volume > c.Volume) chosen = i;
        }
        if (chosen < 0) break;
        TBox& box = boxes[size_t(chosen)];
        int axis = 1;
        int64_t ext = int64_t(box.Max[1] - box.Min[1]) * kScale[1];
        for (int a : {0, 2}) {
            const int64_t e = int64_t(box.Max[a] - box.Min[a]) * kScale[a];
            if (e > ext) {
                axis = a;
                ext = e;
            }
        }
        TBox added = box;
        const int mid = (box.Min[axis] + box.Max[axis]) / 2;
        box.Max[axis] = mid;
        added.Min[axis] = mid + 1;
        UpdateBox(hist, box);
        UpdateBox(hist, added);
        boxes.push_back(added);
    }

    std::vector<TRGB> colors;
    colors.reserve(boxes.size());
    for (const TBox& b : boxes)
        colors.push_back(BoxColor(hist, b));
    return colors;
}
