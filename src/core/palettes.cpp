#include "core/palettes.h"

#include <algorithm>
#include <climits>
#include <cmath>

const std::array<TRGB, 16> Sys16Palette = {
    RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
    RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128), RGB(192, 192, 192),
    RGB(128, 128, 128), RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(255, 255, 0),
    RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255),
};

namespace {

// Entries 125..251 of the 252-colour table, as red, green, blue triples.
constexpr uint8_t kSpecial252Tail[127][3] = {
    {32, 32, 32},    {96, 96, 96},    {160, 160, 160}, {224, 224, 224}, {255, 224, 255},
    {224, 224, 255}, {224, 255, 255}, {224, 255, 224}, {255, 255, 224}, {255, 224, 224},
    {255, 192, 224}, {224, 192, 255}, {192, 224, 255}, {192, 255, 224}, {224, 255, 192},
    {255, 224, 192}, {224, 192, 224}, {192, 192, 224}, {192, 224, 224}, {192, 224, 192},
    {224, 224, 192}, {224, 192, 192}, {255, 160, 192}, {255, 160, 224}, {255, 160, 255},
    {224, 160, 255}, {192, 160, 255}, {160, 160, 255}, {160, 192, 255}, {160, 224, 255},
    {160, 255, 255}, {160, 255, 224}, {160, 255, 192}, {160, 255, 160}, {192, 255, 160},
    {224, 255, 160}, {255, 255, 160}, {255, 224, 160}, {255, 192, 160}, {255, 160, 160},
    {224, 160, 192}, {224, 160, 224}, {192, 160, 224}, {160, 160, 224}, {160, 192, 224},
    {160, 224, 224}, {160, 224, 192}, {160, 224, 160}, {192, 224, 160}, {224, 224, 160},
    {224, 192, 160}, {224, 160, 160}, {255, 128, 160}, {255, 128, 224}, {224, 128, 255},
    {160, 128, 255}, {128, 160, 255}, {128, 224, 255}, {128, 255, 224}, {128, 255, 160},
    {160, 255, 128}, {224, 255, 128}, {255, 224, 128}, {255, 160, 128}, {192, 160, 192},
    {160, 160, 192}, {160, 192, 192}, {160, 192, 160}, {192, 192, 160}, {192, 160, 160},
    {224, 128, 160}, {224, 128, 192}, {224, 128, 224}, {192, 128, 224}, {160, 128, 224},
    {128, 128, 224}, {128, 160, 224}, {128, 192, 224}, {128, 224, 224}, {128, 224, 192},
    {128, 224, 160}, {128, 224, 128}, {160, 224, 128}, {192, 224, 128}, {224, 224, 128},
    {224, 192, 128}, {224, 160, 128}, {224, 128, 128}, {255, 96, 128},  {255, 96, 160},
    {255, 96, 192},  {255, 96, 224},  {255, 96, 255},  {224, 96, 255},  {192, 96, 255},
    {160, 96, 255},  {128, 96, 255},  {96, 96, 255},   {96, 128, 255},  {96, 160, 255},
    {96, 192, 255},  {96, 224, 255},  {96, 255, 255},  {96, 255, 224},  {96, 255, 192},
    {96, 255, 160},  {96, 255, 128},  {96, 255, 96},   {128, 255, 96},  {160, 255, 96},
    {192, 255, 96},  {224, 255, 96},  {255, 255, 96},  {255, 224, 96},  {255, 192, 96},
    {255, 160, 96},  {255, 128, 96},  {255, 96, 96},   {192, 128, 160}, {160, 128, 192},
    {128, 160, 192}, {128, 192, 160}, {160, 192, 128}, {192, 160, 128}, {224, 96, 128},
    {224, 96, 160},  {224, 96, 192},
};

std::array<TRGB, 252> MakeSpecial252() {
    std::array<TRGB, 252> p{};
    int n = 0;
    for (TRGB c : Sys16Palette) p[size_t(n++)] = c;
    const int levels[5] = {0, 64, 128, 192, 255};
    for (int r : levels)
        for (int g : levels)
            for (int b : levels) {
                TRGB c = RGB(r, g, b);
                if (std::find(Sys16Palette.begin(), Sys16Palette.end(), c) == Sys16Palette.end())
                    p[size_t(n++)] = c;
            }
    for (const auto& t : kSpecial252Tail) p[size_t(n++)] = RGB(t[0], t[1], t[2]);
    return p;
}

// Candidates of the 16-colour lookup by (red cell, green cell, blue cell).
constexpr uint8_t kSys16Candidates[4][4][4][3] = {
    {{{0, 0, 0}, {4, 4, 4}, {4, 4, 4}, {12, 12, 12}},
     {{2, 2, 2}, {6, 6, 6}, {6, 6, 6}, {6, 12, 12}},
     {{2, 2, 2}, {6, 6, 6}, {6, 6, 6}, {6, 14, 14}},
     {{10, 10, 10}, {6, 10, 10}, {6, 14, 14}, {14, 14, 14}}},
    {{{1, 1, 1}, {5, 5, 5}, {5, 5, 5}, {5, 12, 12}},
     {{3, 3, 3}, {8, 8, 8}, {8, 8, 8}, {8, 12, 12}},
     {{3, 3, 3}, {8, 8, 8}, {8, 8, 8}, {7, 8, 14}},
     {{3, 10, 10}, {8, 10, 10}, {7, 8, 14}, {7, 14, 14}}},
    {{{1, 1, 1}, {5, 5, 5}, {5, 5, 5}, {5, 13, 13}},
     {{3, 3, 3}, {8, 8, 8}, {8, 8, 8}, {7, 8, 13}},
     {{3, 3, 3}, {8, 8, 8}, {7, 8, 8}, {7, 7, 7}},
     {{3, 11, 11}, {7, 8, 11}, {7, 7, 7}, {7, 7, 7}}},
    {{{9, 9, 9}, {5, 9, 9}, {5, 13, 13}, {13, 13, 13}},
     {{3, 9, 9}, {8, 9, 9}, {7, 8, 13}, {7, 13, 13}},
     {{3, 11, 11}, {7, 8, 11}, {7, 7, 7}, {7, 7, 7}},
     {{11, 11, 11}, {7, 11, 11}, {7, 7, 7}, {7, 15, 15}}},
};

// Candidate lists of the 252-colour lookup. The colour cube is cut into
// 32 x 32 x 32 cells of 8 values per channel (finer than the 9 x 9 x 9 grid
// the lookup was first drawn up with, so the lists are a handful of entries
// long; the answers are the same). A cell lists, in ascending order, every
// entry whose smallest possible distance to the cell's box does not exceed
// the smallest largest-distance of any entry: exactly the entries that can be
// nearest (ties included) to some colour of the cell. Built once, on first use.
struct Grid252 {
    std::vector<uint32_t> start; // 32768 + 1 offsets into entries
    std::vector<uint8_t> entries;
    Grid252() {
        const auto& pal = Special252Palette;
        auto minD = [](int v, int lo, int hi) { return v < lo ? lo - v : v > hi ? v - hi : 0; };
        auto maxD = [](int v, int lo, int hi) { return std::max(std::abs(v - lo), std::abs(v - hi)); };
        int ch[252][3];
        for (int i = 0; i < 252; ++i) {
            ch[i][0] = GetRValue(pal[size_t(i)]);
            ch[i][1] = GetGValue(pal[size_t(i)]);
            ch[i][2] = GetBValue(pal[size_t(i)]);
        }
        start.reserve(32768 + 1);
        entries.reserve(32768 * 6);
        for (int cell = 0; cell < 32768; ++cell) {
            const int k[3] = {cell >> 10, (cell >> 5) & 31, cell & 31};
            int mins[252];
            int bound = INT_MAX;
            for (int i = 0; i < 252; ++i) {
                int mn = 0, mx = 0;
                for (int a = 0; a < 3; ++a) {
                    const int lo = k[a] * 8, hi = lo + 7;
                    const int d1 = minD(ch[i][a], lo, hi), d2 = maxD(ch[i][a], lo, hi);
                    mn += d1 * d1;
                    mx += d2 * d2;
                }
                mins[i] = mn;
                bound = std::min(bound, mx);
            }
            start.push_back(uint32_t(entries.size()));
            for (int i = 0; i < 252; ++i)
                if (mins[i] <= bound) entries.push_back(uint8_t(i));
        }
        start.push_back(uint32_t(entries.size()));
    }
};

const Grid252& TheGrid252() {
    static const Grid252 grid;
    return grid;
}

} // namespace

const std::array<TRGB, 252> Special252Palette = MakeSpecial252();

std::vector<TRGB> StandardPalette(TPaletteIdent p) {
    std::vector<TRGB> v;
    auto grey = [](int g) { return RGB(g, g, g); };
    switch (p) {
    case pBlackWhite:
        v = {RGB(0, 0, 0), RGB(255, 255, 255)};
        break;
    case pSysGray4:
        v = {grey(0), grey(128), grey(192), grey(255)};
        break;
    case pSys16:
        v.assign(Sys16Palette.begin(), Sys16Palette.end());
        break;
    case pGray4:
        for (int i = 0; i < 4; ++i) v.push_back(grey(i * 255 / 3));
        break;
    case pGray16:
        for (int i = 0; i < 16; ++i) v.push_back(grey(i * 255 / 15));
        break;
    case pGray236:
        for (int i = 0; i < 236; ++i) v.push_back(grey(int(std::nearbyint(i * 255.0L / 235.0L))));
        break;
    case pGray256:
        for (int i = 0; i < 256; ++i) v.push_back(grey(i));
        break;
    case pSpecial125:
        for (int r = 0; r < 5; ++r)
            for (int g = 0; g < 5; ++g)
                for (int b = 0; b < 5; ++b)
                    v.push_back(RGB((r * 255 + 3) / 4, (g * 255 + 3) / 4, (b * 255 + 3) / 4));
        break;
    case pSpecial216:
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    v.push_back(RGB((r * 255 + 4) / 5, (g * 255 + 4) / 5, (b * 255 + 4) / 5));
        break;
    case pSpecial252:
        v.assign(Special252Palette.begin(), Special252Palette.end());
        break;
    default:
        break;
    }
    return v;
}

int NearestSys16(TRGB c) {
    const uint8_t* cand = kSys16Candidates[GetRValue(c) / 64][GetGValue(c) / 64][GetBValue(c) / 64];
    int answer = cand[0];
    if (cand[1] != cand[0]) {
        if (ColorDistance2(c, Sys16Palette[cand[1]]) < ColorDistance2(c, Sys16Palette[size_t(answer)]))
            answer = cand[1];
        if (cand[2] != cand[1] &&
            ColorDistance2(c, Sys16Palette[cand[2]]) < ColorDistance2(c, Sys16Palette[size_t(answer)]))
            answer = cand[2];
    }
    return answer;
}

int NearestSpecial252(TRGB c) {
    const Grid252& grid = TheGrid252();
    const int cell = ((GetRValue(c) >> 3) << 10) | ((GetGValue(c) >> 3) << 5) | (GetBValue(c) >> 3);
    const uint8_t* l = grid.entries.data() + grid.start[size_t(cell)];
    const uint8_t* end = grid.entries.data() + grid.start[size_t(cell) + 1];
    int best = *l;
    int bestD = ColorDistance2(c, Special252Palette[*l]);
    for (++l; l < end; ++l) {
        const int d = ColorDistance2(c, Special252Palette[*l]);
        if (d < bestD) {
            bestD = d;
            best = *l;
        }
    }
    return best;
}

int NearestGray236(int w) {
    // Entry i holds grey Round(i x 255 / 235); the target is w / 3. Compare
    // 3 x grey with w to stay in integers; the lower index wins a tie.
    static const std::vector<TRGB> pal = StandardPalette(pGray236);
    int guess = int((long long)w * 235 / 765);
    int best = -1, bestD = INT_MAX;
    for (int i = std::max(0, guess - 2); i <= std::min(235, guess + 2); ++i) {
        int d = std::abs(3 * GetRValue(pal[size_t(i)]) - w);
        if (d < bestD) {
            bestD = d;
            best = i;
        }
    }
    return best;
}

int NearestBySearch(const TRGB* palette, int count, TRGB c) {
    int best = 0, bestD = INT_MAX;
    for (int i = 0; i < count; ++i) {
        int d = ColorDistance2(c, palette[i]);
        if (d < bestD) {
            bestD = d;
            best = i;
            if (d == 0) break;
        }
    }
    return best;
}
