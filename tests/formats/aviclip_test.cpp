// Clips made by ffmpeg, and RLE clips built here, decoded frame by frame and
// compared with ffmpeg's own frames; damaged clips never crash.

#include "formats/aviclip.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "core/exceptions.h"
#include "core/stream.h"
#include "formats/library.h"
#include "oracle_support.h"

using namespace oracle;

namespace {

void Put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void PutId(std::vector<uint8_t>& b, const char* id) {
    b.insert(b.end(), id, id + 4);
}
std::vector<uint8_t> Chunk(const char* id, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> c;
    PutId(c, id);
    Put32(c, uint32_t(body.size()));
    c.insert(c.end(), body.begin(), body.end());
    if (body.size() & 1) c.push_back(0);
    return c;
}
std::vector<uint8_t> List(const char* outer, const char* type,
                          const std::vector<std::vector<uint8_t>>& parts) {
    std::vector<uint8_t> body;
    PutId(body, type);
    for (const auto& p : parts)
        body.insert(body.end(), p.begin(), p.end());
    return Chunk(outer, body);
}

// A clip of w x h with the given frames: 8-bit RLE with a grey palette, or
// Motion JPEG.
std::vector<uint8_t> Clip(int w, int h, bool mjpeg,
                          const std::vector<std::vector<uint8_t>>& frames) {
    std::vector<uint8_t> avih;
    Put32(avih, 100000); // 10 fps
    for (int i = 0; i < 7; ++i)
        Put32(avih, 0);
    Put32(avih, uint32_t(w));
    Put32(avih, uint32_t(h));
    for (int i = 0; i < 4; ++i)
        Put32(avih, 0);
    std::vector<uint8_t> strh;
    PutId(strh, "vids");
    PutId(strh, "mrle");
    for (int i = 0; i < 3; ++i)
        Put32(strh, 0);
    Put32(strh, 1);  // scale
    Put32(strh, 10); // rate
    for (int i = 0; i < 7; ++i)
        Put32(strh, 0);
    std::vector<uint8_t> strf;
    Put32(strf, 40);
    Put32(strf, uint32_t(w));
    Put32(strf, uint32_t(h));
    Put16(strf, 1);
    Put16(strf, mjpeg ? 24 : 8);
    if (mjpeg)
        PutId(strf, "MJPG");
    else
        Put32(strf, 1); // BI_RLE8
    for (int i = 0; i < 3; ++i)
        Put32(strf, 0);
    Put32(strf, mjpeg ? 0 : 256);
    Put32(strf, 0);
    for (int i = 0; i < (mjpeg ? 0 : 256); ++i)
        Put32(strf, uint32_t(i * 0x010101));
    std::vector<std::vector<uint8_t>> movi;
    for (const auto& f : frames)
        movi.push_back(Chunk("00dc", f));
    std::vector<uint8_t> riff =
        List("RIFF", "AVI ",
             {List("LIST", "hdrl",
                   {Chunk("avih", avih),
                    List("LIST", "strl", {Chunk("strh", strh), Chunk("strf", strf)})}),
              List("LIST", "movi", movi)});
    return riff;
}

std::vector<uint8_t> RleClip(int w, int h, const std::vector<std::vector<uint8_t>>& frames) {
    return Clip(w, h, false, frames);
}

// The JPEG without its Huffman tables, as many Motion JPEG frames come.
std::vector<uint8_t> WithoutHuffmanTables(const std::vector<uint8_t>& jpeg) {
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    size_t i = 2;
    while (i + 4 <= jpeg.size()) {
        const int marker = jpeg[i + 1];
        if (marker == 0xDA) break;
        const size_t n = size_t(jpeg[i + 2] << 8 | jpeg[i + 3]);
        if (marker != 0xC4)
            out.insert(out.end(), jpeg.begin() + std::ptrdiff_t(i),
                       jpeg.begin() + std::ptrdiff_t(i + 2 + n));
        i += 2 + n;
    }
    out.insert(out.end(), jpeg.begin() + std::ptrdiff_t(i), jpeg.end());
    return out;
}

TAviClip Parse(const std::vector<uint8_t>& bytes) {
    TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
    return ParseAviClip(s);
}

double Psnr(const TPixelGraphic& pg, const Pnm& want) {
    double se = 0;
    for (int y = 0; y < want.height; ++y)
        for (int x = 0; x < want.width; ++x) {
            const TRGB a = pg.GetPixelColor(x, y), b = want.Color(x, y);
            for (int s : {0, 8, 16}) {
                const double d = double((a >> s) & 255) - double((b >> s) & 255);
                se += d * d;
            }
        }
    const double mse = se / (3.0 * want.width * want.height);
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

int WorstDifference(const TPixelGraphic& pg, const Pnm& want) {
    int worst = 0;
    for (int y = 0; y < want.height; ++y)
        for (int x = 0; x < want.width; ++x) {
            const TRGB a = pg.GetPixelColor(x, y), b = want.Color(x, y);
            for (int s : {0, 8, 16})
                worst = std::max(worst, std::abs(int((a >> s) & 255) - int((b >> s) & 255)));
        }
    return worst;
}

class AviClip : public ::testing::Test {
  protected:
    void SetUp() override { InitImageLibrary(); }
    TempDir dir;
};

} // namespace

TEST_F(AviClip, FramesOfFfmpegClipsEqualFfmpegsOwn) {
    struct Case {
        const char* name;
        const char* codec;
        TAviCodec kind;
        double minPsnr; // 0: within one level
    };
    const Case cases[] = {
        {"bgr24", "-c:v rawvideo -pix_fmt bgr24", TAviCodec::Raw, 0},
        {"pal8", "-c:v rawvideo -pix_fmt pal8", TAviCodec::Raw, 0},
        {"mjpeg", "-c:v mjpeg -q:v 2 -pix_fmt yuvj444p", TAviCodec::MJPEG, 45},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string clip = dir / (std::string(c.name) + ".avi");
        ASSERT_TRUE(Shell("ffmpeg -nostdin -y -f lavfi -i testsrc=size=66x50:rate=12 -frames:v 6 " +
                          std::string(c.codec) + " " + Q(clip)));
        // Full-resolution chroma and exact conversion: what remains between
        // ffmpeg's frames and ours are IDCT differences.
        ASSERT_TRUE(Shell("ffmpeg -nostdin -y -i " + Q(clip) +
                          " -sws_flags +accurate_rnd+full_chroma_int+bitexact -pix_fmt rgb24 " +
                          Q(dir / (std::string(c.name) + "%03d.ppm"))));
        const std::vector<uint8_t> bytes = Bytes(clip);
        const TAviClip avi = Parse(bytes);
        EXPECT_EQ(avi.codec, c.kind);
        EXPECT_EQ(avi.width, 66);
        EXPECT_EQ(avi.height, 50);
        EXPECT_NEAR(avi.frameInterval, 1000.0 / 12, 0.01);
        ASSERT_EQ(avi.frames.size(), 6u);
        TAviFrameDecoder dec(avi);
        TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
        for (int i = 0; i < 6; ++i) {
            TPixelGraphic pg;
            ASSERT_TRUE(dec.DecodeFrame(s, i, pg)) << i;
            char name[32];
            std::snprintf(name, sizeof name, "%s%03d.ppm", c.name, i + 1);
            const Pnm want = ReadPnm(dir / name);
            if (c.minPsnr > 0)
                EXPECT_GE(Psnr(pg, want), c.minPsnr) << i;
            else
                EXPECT_LE(WorstDifference(pg, want), 1) << i;
        }
    }
}

TEST_F(AviClip, MotionJpegFramesWithoutHuffmanTablesDecode) {
    ASSERT_TRUE(Shell("ffmpeg -nostdin -y -f lavfi -i testsrc=size=40x30:rate=5 -frames:v 1 -c:v "
                      "mjpeg -huffman default -f image2 " +
                      Q(dir / "f.jpg")));
    const std::vector<uint8_t> full = Bytes(dir / "f.jpg");
    const std::vector<uint8_t> bare = WithoutHuffmanTables(full);
    ASSERT_LT(bare.size(), full.size());
    const std::vector<uint8_t> a = Clip(40, 30, true, {full}), b = Clip(40, 30, true, {bare});
    TPixelGraphic pa, pb;
    TReadOnlyMemoryStream sa(a.data(), int64_t(a.size())), sb(b.data(), int64_t(b.size()));
    const TAviClip ca = Parse(a), cb = Parse(b);
    ASSERT_EQ(cb.codec, TAviCodec::MJPEG);
    ASSERT_TRUE(TAviFrameDecoder(ca).DecodeFrame(sa, 0, pa));
    ASSERT_TRUE(TAviFrameDecoder(cb).DecodeFrame(sb, 0, pb));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(pa.GetPixelColor(x, y), pb.GetPixelColor(x, y));
}

TEST_F(AviClip, RleDeltaFramesDrawOverTheFrameBefore) {
    // 4 x 2: a key frame of runs, then a delta frame changing one pixel.
    const std::vector<uint8_t> key = {4, 10, 0, 0, 2, 20, 2, 30, 0, 1};
    const std::vector<uint8_t> delta = {0, 2, 1, 1, 1, 99, 0, 1}; // skip to (1, 1), write 99
    const std::vector<uint8_t> bytes = RleClip(4, 2, {key, delta, {}});
    const TAviClip avi = Parse(bytes);
    ASSERT_EQ(avi.codec, TAviCodec::RLE8);
    ASSERT_EQ(avi.frames.size(), 3u);
    EXPECT_NEAR(avi.frameInterval, 100, 0.01);
    TReadOnlyMemoryStream s(bytes.data(), int64_t(bytes.size()));
    TAviFrameDecoder dec(avi);
    auto grey = [](const TPixelGraphic& pg, int x, int y) {
        return int(GetRValue(pg.GetPixelColor(x, y)));
    };
    TPixelGraphic pg;
    ASSERT_TRUE(dec.DecodeFrame(s, 0, pg));
    EXPECT_EQ(grey(pg, 0, 1), 10); // bottom row first
    EXPECT_EQ(grey(pg, 3, 1), 10);
    EXPECT_EQ(grey(pg, 0, 0), 20);
    EXPECT_EQ(grey(pg, 3, 0), 30);
    ASSERT_TRUE(dec.DecodeFrame(s, 1, pg));
    EXPECT_EQ(grey(pg, 1, 0), 99);
    EXPECT_EQ(grey(pg, 0, 0), 20);
    EXPECT_EQ(grey(pg, 2, 1), 10);
    ASSERT_TRUE(dec.DecodeFrame(s, 2, pg)); // an empty frame changes nothing
    EXPECT_EQ(grey(pg, 1, 0), 99);
    // A jump (here: the loop back to 0 and on to 1) decodes the frames between.
    TAviFrameDecoder jump(avi);
    TPixelGraphic j;
    ASSERT_TRUE(jump.DecodeFrame(s, 1, j));
    EXPECT_EQ(grey(j, 1, 0), 99);
    EXPECT_EQ(grey(j, 3, 0), 30);
}

TEST_F(AviClip, DamagedClipsFailCleanly) {
    ASSERT_TRUE(Shell("ffmpeg -nostdin -y -f lavfi -i testsrc=size=32x24:rate=5 -frames:v 3 -c:v "
                      "mjpeg " +
                      Q(dir / "m.avi")));
    const std::vector<uint8_t> good = Bytes(dir / "m.avi");
    const std::vector<uint8_t> rle = RleClip(4, 2, {{200, 7, 0, 1}, {0, 3, 200, 200}});
    std::mt19937 gen(7);
    for (const std::vector<uint8_t>& base : {good, rle}) {
        for (int round = 0; round < 300; ++round) {
            std::vector<uint8_t> b = base;
            if (round % 3 == 0)
                b.resize(gen() % b.size());
            else
                for (int k = 0; k < 1 + round % 7; ++k)
                    b[gen() % b.size()] = uint8_t(gen());
            TReadOnlyMemoryStream s(b.data(), int64_t(b.size()));
            try {
                const TAviClip avi = ParseAviClip(s);
                TAviFrameDecoder dec(avi);
                TPixelGraphic pg;
                for (size_t i = 0; i < avi.frames.size(); ++i)
                    dec.DecodeFrame(s, int(i), pg);
            } catch (const EPixelGraphic&) {
            }
        }
    }
    // A frame height of -2^31 (found by fuzzing) is a bad size, not a negation overflow.
    EXPECT_THROW(Parse(RleClip(4, INT32_MIN, {{0, 1}})), EPixelGraphic);
    for (const char* bytes : {"", "RIFF", "RIFF\x04\0\0\0AVI ",
                              "RIFF\xff\xff\xff\xff"
                              "AVI LIST"}) {
        std::vector<uint8_t> b(bytes, bytes + std::strlen(bytes));
        EXPECT_THROW(Parse(b), EPixelGraphic);
    }
}
