// Decoding frames of 640 x 480 clips: Motion JPEG and uncompressed 24 bits.
// A clip plays at 30 frames a second when a frame decodes in well under
// 33 ms; the share of one core is the frame time x 30.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>

#include "core/pixelgraphic.h"
#include "core/stream.h"
#include "formats/aviclip.h"
#include "formats/jpeg.h"
#include "formats/library.h"

namespace {

void Put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}
std::vector<uint8_t> Chunk(const char* id, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> c(id, id + 4);
    Put32(c, uint32_t(body.size()));
    c.insert(c.end(), body.begin(), body.end());
    if (body.size() & 1) c.push_back(0);
    return c;
}
std::vector<uint8_t> List(const char* outer, const char* type,
                          std::vector<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> body(type, type + 4);
    for (const auto& p : parts)
        body.insert(body.end(), p.begin(), p.end());
    return Chunk(outer, body);
}

// A photo-like frame: gradients with noise, moving with the frame number.
void Frame(TPixelGraphic& pg, int n) {
    pg.SetFormat(640, 480, pg24Bit);
    uint32_t seed = 99u + uint32_t(n);
    for (int y = 0; y < 480; ++y) {
        uint8_t* r = pg.ScanLine(y);
        for (int x = 0; x < 640; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 29);
            r[3 * x] = uint8_t(128 + 100 * std::sin((x + 4 * n) * 0.02) + noise);
            r[3 * x + 1] = uint8_t((y * 200 / 480) + noise);
            r[3 * x + 2] = uint8_t(((x + y + n) & 255) / 2 + noise);
        }
    }
}

std::vector<uint8_t> MakeClip(bool mjpeg, int frames) {
    InitImageLibrary();
    std::vector<uint8_t> strf;
    Put32(strf, 40);
    Put32(strf, 640);
    Put32(strf, 480);
    Put32(strf, 1 | 24 << 16);
    if (mjpeg)
        strf.insert(strf.end(), {'M', 'J', 'P', 'G'});
    else
        Put32(strf, 0);
    for (int i = 0; i < 5; ++i)
        Put32(strf, 0);
    std::vector<uint8_t> strh = {'v', 'i', 'd', 's'};
    strh.resize(56, 0);
    strh[24] = 30; // rate 30, scale 1
    strh[20] = 1;
    std::vector<uint8_t> avih(56, 0);
    std::vector<std::vector<uint8_t>> movi;
    TPixelGraphic pg;
    for (int n = 0; n < frames; ++n) {
        Frame(pg, n);
        std::vector<uint8_t> data;
        if (mjpeg) {
            TMemoryStream m;
            TJPGFileFormatWriter().Write(m, pg);
            data = m.Data();
        } else {
            for (int y = 479; y >= 0; --y)
                data.insert(data.end(), pg.ScanLine(y), pg.ScanLine(y) + 640 * 3);
        }
        movi.push_back(Chunk("00dc", data));
    }
    return List("RIFF", "AVI ",
                {List("LIST", "hdrl",
                      {Chunk("avih", avih),
                       List("LIST", "strl", {Chunk("strh", strh), Chunk("strf", strf)})}),
                 List("LIST", "movi", movi)});
}

void Decode(benchmark::State& state, bool mjpeg) {
    const std::vector<uint8_t> bytes = MakeClip(mjpeg, 8);
    TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
    const TAviClip clip = ParseAviClip(s);
    TAviFrameDecoder dec(clip);
    TPixelGraphic pg;
    int i = 0;
    for (auto _ : state) {
        if (!dec.DecodeFrame(s, i, pg)) state.SkipWithError("frame did not decode");
        i = (i + 1) % 8;
    }
}

void BM_MotionJpegFrame640x480(benchmark::State& state) {
    Decode(state, true);
}
BENCHMARK(BM_MotionJpegFrame640x480)->Unit(benchmark::kMillisecond);

void BM_Raw24BitFrame640x480(benchmark::State& state) {
    Decode(state, false);
}
BENCHMARK(BM_Raw24BitFrame640x480)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
