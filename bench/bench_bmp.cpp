// BMP decoding and encoding in memory: the straight 24-bit path, the 16-bit
// bit-field path and RLE8.

#include <benchmark/benchmark.h>

#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/bmp.h"
#include "formats/library.h"

namespace {

constexpr int kW = 3000, kH = 2000;

std::vector<uint8_t> Encoded(TPGPixelFormat f) {
    InitImageLibrary();
    TPixelGraphic g;
    g.SetFormat(kW, kH, f);
    if (f == pg8Bit) g.SetPaletteIdent(pGray256);
    for (int y = 0; y < kH; ++y) {
        uint8_t* row = g.ScanLine(y);
        for (int64_t i = 0; i < g.RowBytes(); ++i)
            row[i] = uint8_t((i * 7 + y * 3) >> (f == pg8Bit ? 6 : 0));
    }
    TMemoryStream s;
    g.SaveToStream(s);
    return s.Data();
}

// A 16-bit 565 file of the same size, built directly.
std::vector<uint8_t> Encoded565() {
    std::vector<uint8_t> v(14 + 40 + 12);
    const uint32_t rowBytes = (kW * 2 + 3) / 4 * 4;
    auto put32 = [&](size_t at, uint32_t x) {
        for (int i = 0; i < 4; ++i)
            v[at + i] = uint8_t(x >> (8 * i));
    };
    v[0] = 'B', v[1] = 'M';
    put32(10, 66);
    put32(14, 40);
    put32(18, kW);
    put32(22, kH);
    v[26] = 1, v[28] = 16;
    put32(30, BI_BITFIELDS);
    put32(54, 0xF800), put32(58, 0x07E0), put32(62, 0x001F);
    for (uint32_t i = 0; i < rowBytes * kH; ++i)
        v.push_back(uint8_t(i * 13));
    return v;
}

// RLE8 rows of runs and literals, as photos with few colours compress.
std::vector<uint8_t> EncodedRle8() {
    std::vector<uint8_t> pix;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW;) {
            const int n = std::min(kW - x, 40);
            pix.insert(pix.end(), {uint8_t(n), uint8_t(x + y)});
            x += n;
            if (x + 12 <= kW) {
                pix.insert(pix.end(), {0, 12});
                for (int k = 0; k < 12; ++k)
                    pix.push_back(uint8_t(k * y));
                x += 12;
            }
        }
        pix.insert(pix.end(), {0, 0});
    }
    pix.insert(pix.end(), {0, 1});
    std::vector<uint8_t> v(14 + 40 + 1024);
    auto put32 = [&](size_t at, uint32_t x) {
        for (int i = 0; i < 4; ++i)
            v[at + i] = uint8_t(x >> (8 * i));
    };
    v[0] = 'B', v[1] = 'M';
    put32(14, 40);
    put32(18, kW);
    put32(22, kH);
    v[26] = 1, v[28] = 8;
    put32(30, BI_RLE8);
    put32(34, uint32_t(pix.size()));
    v.insert(v.end(), pix.begin(), pix.end());
    return v;
}

void Decode(benchmark::State& state, const std::vector<uint8_t>& bytes) {
    InitImageLibrary();
    TPixelGraphic g;
    for (auto _ : state) {
        TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
        g.LoadFromStream(s);
        benchmark::DoNotOptimize(g.Bits());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kW) * kH);
}

void BM_Decode24(benchmark::State& s) {
    static const auto b = Encoded(pg24Bit);
    Decode(s, b);
}
void BM_Decode565(benchmark::State& s) {
    static const auto b = Encoded565();
    Decode(s, b);
}
void BM_DecodeRle8(benchmark::State& s) {
    static const auto b = EncodedRle8();
    Decode(s, b);
}

void BM_Encode24(benchmark::State& state) {
    InitImageLibrary();
    static const auto bytes = Encoded(pg24Bit);
    TPixelGraphic g;
    TReadOnlyMemoryStream in(bytes.data(), int64_t(bytes.size()));
    g.LoadFromStream(in);
    for (auto _ : state) {
        TMemoryStream out;
        out.Data().reserve(bytes.size());
        g.SaveToStreamExt(out, "bmp");
        benchmark::DoNotOptimize(out.Data().data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kW) * kH);
}

} // namespace

BENCHMARK(BM_Decode24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode565)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeRle8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode24)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
