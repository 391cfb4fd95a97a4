// WebP, AVIF, HEIF and JPEG XL: files made by the reference encoders decode
// to what the reference decoders make of them, our WebP and AVIF output
// reads back in the reference decoders, and cut or lying files are refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "core/options.h"
#include "core/registry.h"
#include "core/stream.h"
#include "formats/avif.h"
#include "formats/heif.h"
#include "formats/jxl.h"
#include "formats/library.h"
#include "formats/webp.h"
#include "raster_support.h"

using namespace raster;

namespace {

const TRGB kBackground = RGB(0, 64, 255);

// What ImageMagick reads from a file as R, G, B, A bytes.
Bytes ConvertRGBA(const std::string& path) {
    const std::string out = path + ".oracle.rgba";
    if (Shell(kConvert + " '" + path + "' -depth 8 rgba:'" + out + "'") != 0) return {};
    return Slurp(out);
}

// The R, G, B bytes a picture shows for straight RGBA over kBackground.
Bytes OverBackground(const Bytes& rgba) {
    const int bg[3] = {GetRValue(kBackground), GetGValue(kBackground), GetBValue(kBackground)};
    Bytes out;
    for (size_t i = 0; i + 3 < rgba.size(); i += 4)
        for (int c = 0; c < 3; ++c)
            out.push_back(uint8_t((rgba[i + size_t(c)] * rgba[i + 3] + bg[c] * (255 - rgba[i + 3]) + 127) / 255));
    return out;
}

// Mean absolute difference per channel value.
double MeanDiff(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size() || a.empty()) return 1000;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

int MaxDiff(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size()) return 1000;
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return worst;
}

// Reads a file with the registry (content first) into a picture composited
// onto kBackground.
void LoadFile(const std::string& path, TPixelGraphic& pic, int index = 0) {
    pic.SetBackgroundColor(kBackground);
    pic.SetReadWarningAction(pgwaIgnore);
    pic.LoadFromFileIndex(path, index);
}

struct Sources {
    TempDir dir;
    const int w = 67, h = 45; // odd sizes: chroma subsampling edges, row padding
    std::string ppm, png, alpha;
    Sources() {
        InitImageLibrary();
        ppm = dir / "src.ppm";
        png = dir / "src.png";
        alpha = dir / "alpha.png";
        WriteP6(ppm, w, h, Pattern(w, h));
        Shell(kConvert + " '" + ppm + "' '" + png + "'");
        // Alpha from opaque at the left to clear at the right.
        Shell(kConvert + " '" + ppm + "' \\( -size " + std::to_string(h) + "x" + std::to_string(w) +
              " gradient:white-black -rotate 90 \\) -compose CopyOpacity -composite '" + alpha + "'");
    }
};

bool HaveTools(std::initializer_list<const char*> tools) {
    for (const char* t : tools)
        if (!HaveTool(t)) return false;
    return true;
}

} // namespace

// Each case: an encoder line making A from the sources, a decoder line making
// B (PNG or PAM) from A, and how far our pixels may lie from B's.
TEST(ModernFormats, DecodeAsTheReferenceDecodersDo) {
    if (!HaveTools({"cwebp", "dwebp", "avifenc", "avifdec", "heif-enc", "heif-convert", "cjxl", "djxl"}))
        GTEST_SKIP() << "reference encoders missing";
    Sources s;
    struct Case {
        std::string encode, ext, decode;
        bool alpha;
        int tolerance;
    } cases[] = {
        // Same library underneath: the same pixels.
        {"cwebp -quiet -q 70 SRC -o A", "webp", "dwebp -quiet A -ppm -o B", false, 0},
        {"cwebp -quiet -lossless SRC -o A", "webp", "dwebp -quiet A -ppm -o B", false, 0},
        {"cwebp -quiet -q 60 ALPHA -o A", "webp", "dwebp -quiet A -pam -o B", true, 0},
        {"avifenc -s 10 SRC A", "avif", "avifdec -d 8 A B", false, 1},
        {"avifenc -s 10 -d 10 -y 420 ALPHA A", "avif", "avifdec -d 8 A B", true, 1},
        {"avifenc -s 10 -d 12 -y 444 SRC A", "avif", "avifdec -d 8 A B", false, 1},
        {"avifenc -s 10 -l SRC A", "avif", "avifdec -d 8 A B", false, 1},
        // Other libraries between (libde265, libjxl's own PNG writer): one level.
        {"heif-enc -q 60 SRC -o A", "heic", "heif-convert A B", false, 1},
        {"heif-enc -q 60 ALPHA -o A", "heic", "heif-convert A B", true, 1},
        {"cjxl SRC A -d 1", "jxl", "djxl A B", false, 1},
        {"cjxl ALPHA A -d 0", "jxl", "djxl A B", true, 1},
        {"cjxl SRC A -d 2 --container=1", "jxl", "djxl A B", false, 1},
    };
    for (const Case& c : cases) {
        const std::string a = s.dir / ("a." + c.ext), b = s.dir / (c.decode.find("-pam") != std::string::npos ? "b.pam" : "b.png");
        auto fill = [&](std::string cmd) {
            for (auto [key, value] : {std::pair<std::string, std::string>{"ALPHA", s.alpha}, {"SRC", s.png},
                                      {"A", a}, {"B", b}}) {
                const size_t at = cmd.find(" " + key);
                if (at != std::string::npos) cmd.replace(at + 1, key.size(), "'" + value + "'");
            }
            return cmd;
        };
        SCOPED_TRACE(fill(c.encode));
        ASSERT_EQ(Shell(fill(c.encode) + " >/dev/null"), 0);
        std::remove(b.c_str()); // avifdec guesses a format from a file already there
        const int decoded = std::system((fill(c.decode) + " >" + s.dir / "log" + " 2>&1").c_str());
        const Bytes log = Slurp(s.dir / "log");
        ASSERT_EQ(decoded, 0) << std::string(log.begin(), log.end());
        const Bytes want = c.alpha ? OverBackground(ConvertRGBA(b)) : ConvertRGB(b);
        ASSERT_EQ(want.size(), size_t(s.w) * s.h * 3);
        TPixelGraphic pic;
        LoadFile(a, pic);
        ASSERT_EQ(pic.GetWidth(), s.w);
        ASSERT_EQ(pic.GetHeight(), s.h);
        EXPECT_LE(MaxDiff(PictureRGB(pic), want), c.tolerance);
        std::string type;
        TPGImageInfo info;
        ASSERT_TRUE(GetFileImageInfo(a, 0, type, info));
        EXPECT_EQ(info.Width, s.w);
        EXPECT_EQ(info.GraphicCount, 1);
        EXPECT_EQ(info.Options, c.alpha ? "Alpha" : "");
    }
}

// An animated WebP is a multi-picture file: frame k, composited with the
// frames before it, is what ImageMagick's coalesced frame k shows.
TEST(ModernFormats, AnimatedWebPFramesAreComposited) {
    if (!HaveTools({"img2webp"})) GTEST_SKIP() << "img2webp missing";
    Sources s;
    // Three frames that differ in a part only, so the encoder stores
    // sub-rectangles blended onto what came before.
    const std::string f2 = s.dir / "f2.png", f3 = s.dir / "f3.png", anim = s.dir / "anim.webp";
    ASSERT_EQ(Shell(kConvert + " '" + s.png + "' -fill red -draw 'rectangle 10,10 30,20' '" + f2 + "'"), 0);
    ASSERT_EQ(Shell(kConvert + " '" + f2 + "' -fill lime -draw 'rectangle 40,5 60,40' '" + f3 + "'"), 0);
    ASSERT_EQ(Shell("img2webp -loop 0 -lossless -d 50 '" + s.png + "' '" + f2 + "' -d 70 '" + f3 + "' -o '" + anim + "'"), 0);
    std::string type;
    TPGImageInfo info;
    ASSERT_TRUE(GetFileImageInfo(anim, 0, type, info));
    EXPECT_EQ(info.GraphicCount, 3);
    EXPECT_EQ(info.SubType, "Animated");
    ASSERT_EQ(Shell(kConvert + " '" + anim + "' -coalesce -depth 8 rgb:'" + (s.dir / "im%d.rgb") + "'"), 0);
    const std::string frames[] = {s.png, f2, f3};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        TPixelGraphic pic;
        LoadFile(anim, pic, k);
        EXPECT_EQ(PictureRGB(pic), ConvertRGB(frames[k])); // lossless: the frames themselves
        EXPECT_EQ(PictureRGB(pic), Slurp(s.dir / ("im" + std::to_string(k) + ".rgb")));
    }
    TPixelGraphic pic;
    EXPECT_THROW(LoadFile(anim, pic, 3), EPGWebPFileFormatReaderWriter);

    // Players read it forward: the same frames with their durations, then
    // the first frame again.
    EXPECT_TRUE(IsAnimatedWebPFile(anim));
    EXPECT_FALSE(IsAnimatedWebPFile(s.png));
    TFileStream in(anim, TFileStream::OpenRead);
    TWebPAnimation player(in);
    ASSERT_EQ(player.FrameCount(), 3);
    ASSERT_EQ(player.Width(), s.w);
    const int durations[] = {50, 50, 70};
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        int ms = -1;
        const uint8_t* rgba = player.NextFrame(ms);
        EXPECT_EQ(ms, durations[k % 3]);
        Bytes rgb;
        for (int i = 0; i < s.w * s.h; ++i) rgb.insert(rgb.end(), rgba + i * 4, rgba + i * 4 + 3);
        EXPECT_EQ(rgb, ConvertRGB(frames[k % 3]));
    }
}

// Our WebP and AVIF files read back in the reference decoders; lossless
// WebP keeps every pixel.
TEST(ModernFormats, WrittenFilesReadInTheReferenceDecoders) {
    if (!HaveTools({"dwebp", "avifdec"})) GTEST_SKIP() << "reference decoders missing";
    Sources s;
    TPixelGraphic pic;
    LoadFile(s.ppm, pic);
    const Bytes original = PictureRGB(pic);
    struct Case {
        const char* ext;
        int quality, speed;
        bool lossless;
        const char* decode;
        int tolerance;
    } cases[] = {
        {"webp", 100, 0, true, "dwebp -quiet A -ppm -o B", 0},
        {"webp", 90, 0, false, "dwebp -quiet A -ppm -o B", 20},
        {"avif", 90, 10, false, "avifdec -d 8 A B", 8},
        {"avif", 40, 8, false, "avifdec -d 8 A B", 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.ext) + " " + std::to_string(c.quality));
        WebPQuality = AVIFQuality = c.quality;
        WebPLossless = c.lossless;
        AVIFSpeed = c.speed;
        const std::string a = s.dir / (std::string("o.") + c.ext), b = s.dir / "o.png";
        pic.SaveToFile(a);
        std::string cmd = c.decode;
        cmd.replace(cmd.find(" A"), 2, " '" + a + "'");
        cmd.replace(cmd.find(" B"), 2, " '" + b + "'");
        std::remove(b.c_str());
        ASSERT_EQ(std::system((cmd + " >/dev/null 2>&1").c_str()), 0);
        if (c.lossless)
            EXPECT_EQ(ConvertRGB(b), original);
        else
            EXPECT_LE(MeanDiff(ConvertRGB(b), original), c.tolerance); // the noisy pattern, lossy
        TPixelGraphic back;
        LoadFile(a, back);
        EXPECT_LE(MaxDiff(PictureRGB(back), ConvertRGB(b)), 1);
    }
    WebPQuality = 80;
    WebPLossless = false;
    AVIFQuality = 60;
    AVIFSpeed = 6;
    // A palette picture goes out through its palette.
    TPixelGraphic grey;
    grey.SetFormat(5, 3, pg8Bit);
    grey.SetPaletteIdent(pGray256);
    grey.SetPixel(2, 1, 200);
    WebPLossless = true;
    TMemoryStream out;
    grey.SaveToStreamExt(out, "webp");
    WebPLossless = false;
    out.SetPosition(0);
    TPixelGraphic back;
    back.LoadFromStream(out);
    EXPECT_EQ(back.GetPixelColor(2, 1), RGB(200, 200, 200));
    EXPECT_EQ(back.GetPixelColor(0, 0), RGB(0, 0, 0));
}

// Cut files, lying sizes and pictures past the cap are refused with the
// format's own error, before the picture is made.
TEST(ModernFormats, CutAndLyingFilesAreRefused) {
    if (!HaveTools({"cwebp", "avifenc", "heif-enc", "cjxl", "img2webp"})) GTEST_SKIP() << "reference encoders missing";
    Sources s;
    const std::string webp = s.dir / "a.webp", anim = s.dir / "anim.webp", avif = s.dir / "a.avif",
                      heic = s.dir / "a.heic", jxl = s.dir / "a.jxl";
    ASSERT_EQ(Shell("cwebp -quiet -q 70 '" + s.png + "' -o '" + webp + "'"), 0);
    ASSERT_EQ(Shell("img2webp -loop 0 '" + s.png + "' '" + s.alpha + "' -o '" + anim + "'"), 0);
    ASSERT_EQ(Shell("avifenc -s 10 '" + s.png + "' '" + avif + "'"), 0);
    ASSERT_EQ(Shell("heif-enc -q 50 '" + s.png + "' -o '" + heic + "'"), 0);
    ASSERT_EQ(Shell("cjxl '" + s.png + "' '" + jxl + "' -d 1"), 0);
    struct Case {
        std::string file;
        std::function<void(const Bytes&)> read;
    };
    auto with = [](auto reader) {
        return [reader](const Bytes& b) mutable {
            TPixelGraphic pic;
            TReadOnlyMemoryStream st(b.data(), int64_t(b.size()));
            reader.Read(st, pic, 0);
            FAIL() << "read a cut file";
        };
    };
    const Case cases[] = {{webp, with(TWebPFileFormatReader{})}, {anim, with(TWebPFileFormatReader{})},
                          {avif, with(TAVIFFileFormatReader{})}, {heic, with(THEICFileFormatReader{})},
                          {jxl, with(TJXLFileFormatReader{})}};
    for (const Case& c : cases) {
        const Bytes whole = Slurp(c.file);
        for (size_t keep : {size_t(0), size_t(12), size_t(40), whole.size() / 2, whole.size() - 8}) {
            SCOPED_TRACE(c.file + " cut to " + std::to_string(keep));
            const Bytes part(whole.begin(), whole.begin() + long(keep));
            EXPECT_THROW(c.read(part), EPixelGraphic);
        }
    }
    // The cap holds before any decoder allocates the picture.
    const long long cap = PGMaxImageBytes;
    PGMaxImageBytes = int64_t(s.w) * s.h; // less than one 24-bit picture
    for (const std::string& f : {webp, avif, heic, jxl}) {
        SCOPED_TRACE(f);
        TPixelGraphic pic;
        try {
            LoadFile(f, pic);
            ADD_FAILURE() << "loaded past the cap";
        } catch (const EPixelGraphic& e) {
            // libavif's own size limit, set from the cap, refuses it first.
            if (f != avif) EXPECT_STREQ(e.what(), "CreateDIBSection failed");
        }
        EXPECT_TRUE(pic.GetEmpty());
    }
    PGMaxImageBytes = cap;
    // A WebP header that claims 16383 x 16383 pixels over a few bytes of data.
    Bytes lie = Slurp(webp);
    ASSERT_EQ(std::string(lie.begin() + 12, lie.begin() + 16), "VP8 ");
    lie[26] = 0xFF, lie[27] = 0x3F, lie[28] = 0xFF, lie[29] = 0x3F;
    TPixelGraphic pic;
    TReadOnlyMemoryStream st(lie.data(), int64_t(lie.size()));
    EXPECT_THROW(TWebPFileFormatReader().Read(st, pic, 0), EPixelGraphic);
}

// The readers are chosen by content: a HEIC named .jpg is a HEIC.
TEST(ModernFormats, ChosenByContentFirst) {
    if (!HaveTools({"heif-enc", "cwebp"})) GTEST_SKIP() << "reference encoders missing";
    Sources s;
    const std::string named = s.dir / "photo.jpg", webp = s.dir / "w.tif";
    ASSERT_EQ(Shell("heif-enc -q 50 '" + s.png + "' -o '" + named + "'"), 0);
    ASSERT_EQ(Shell("cwebp -quiet '" + s.png + "' -o '" + webp + "'"), 0);
    std::string type;
    TPGImageInfo info;
    ASSERT_TRUE(GetFileImageInfo(named, 0, type, info));
    EXPECT_EQ(type, "High Efficiency Image File Format");
    ASSERT_TRUE(GetFileImageInfo(webp, 0, type, info));
    EXPECT_EQ(type, "WebP");
    TPixelGraphic pic;
    LoadFile(named, pic);
    EXPECT_EQ(pic.GetWidth(), s.w);
}

// The EXIF block and ICC profile of a file reach the picture, so saving it
// elsewhere keeps them.
TEST(ModernFormats, ExifAndProfileReachThePicture) {
    if (!HaveTools({"avifenc"})) GTEST_SKIP() << "avifenc missing";
    Sources s;
    // A little-endian EXIF block: one directory with Orientation = 6.
    const Bytes exif = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0};
    Bytes icc(300);
    for (size_t i = 0; i < icc.size(); ++i) icc[i] = uint8_t(i * 7);
    Spit(s.dir / "x.exif", exif);
    Spit(s.dir / "x.icc", icc);
    const std::string a = s.dir / "m.avif";
    ASSERT_EQ(Shell("avifenc -s 10 --exif '" + s.dir / "x.exif" + "' --icc '" + s.dir / "x.icc" + "' '" +
                    s.png + "' '" + a + "' >/dev/null"),
              0);
    TPixelGraphic pic;
    LoadFile(a, pic);
    EXPECT_EQ(pic.ICCProfile(), icc);
    EXPECT_EQ(pic.ExifBlock(), exif);
}
