// JPEG reader and writer against libjpeg's own command-line tools (the same
// library, so decoding must match pixel for pixel and encoding byte for byte).

#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "core/options.h"
#include "core/prompts.h"
#include "core/stream.h"
#include "formats/jpeg.h"
#include "oracle_support.h"

using namespace oracle;

namespace {

class JpegTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::string ppm = dir / "src.ppm";
    std::string pgm = dir / "src.pgm";
    void SetUp() override {
        // Odd sizes, so row padding and partial blocks are exercised.
        ASSERT_TRUE(Shell("convert -size 157x93 -seed 7 plasma:fractal " + Q(ppm)));
        ASSERT_TRUE(Shell("convert " + Q(ppm) + " -colorspace Gray " + Q(pgm)));
        PGMessageBoxHandler = nullptr;
    }
    void TearDown() override {
        PGMessageBoxHandler = nullptr;
        JPEGQuality = 80;
        JPEGReadMethod = 0;
        JPEGWriteMethod = 2;
        JPEGProgressive = false;
        PGMaxImageBytes = kPGDefaultMaxImageBytes;
    }
    static void Load(const std::string& file, TPixelGraphic& g) {
        TFileStream s(file, TFileStream::OpenRead);
        TJPGFileFormatReader().Read(s, g, 0);
    }
    static void Save(const std::string& file, TPixelGraphic& g) {
        TFileStream s(file, TFileStream::Create);
        TJPGFileFormatWriter().Write(s, g);
        s.Close();
    }
    static TPGImageInfo Info(const std::string& file) {
        TFileStream s(file, TFileStream::OpenRead);
        TPGImageInfo info;
        TJPGFileFormatReader().GetInfo(s, 0, info);
        return info;
    }
    static std::string ErrorOf(const std::function<void()>& f) {
        try {
            f();
        } catch (const EPGJPGFileFormatReaderWriter& e) {
            return e.what();
        }
        return "(no error)";
    }
};

TEST_F(JpegTest, DecodesLikeDjpeg) {
    struct Case {
        const char* name;
        std::string cjpegArgs;
        bool grey;
        bool fastRead;
        int readMethod;
        const char* djpegDct;
    } cases[] = {
        {"islow 4:2:0", "-quality 85", false, false, 0, "int"},
        {"islow 4:4:4", "-quality 92 -sample 1x1", false, false, 0, "int"},
        {"progressive", "-progressive", false, false, 0, "int"},
        {"grey", "-quality 75", true, false, 0, "int"},
        {"FastRead", "-quality 85", false, true, 0, "fast"},
        {"float option", "-quality 85", false, false, 2, "float"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string jpg = dir / "in.jpg", ref = dir / "ref.pnm";
        ASSERT_TRUE(
            Shell("cjpeg " + c.cjpegArgs + " -outfile " + Q(jpg) + " " + Q(c.grey ? pgm : ppm)));
        ASSERT_TRUE(Shell(std::string("djpeg -pnm -dct ") + c.djpegDct + " -outfile " + Q(ref) +
                          " " + Q(jpg)));
        JPEGReadMethod = c.readMethod;
        TPixelGraphic g;
        g.SetFastRead(c.fastRead);
        Load(jpg, g);
        EXPECT_EQ(g.PixelFormat(), c.grey ? pg8Bit : pg24Bit);
        if (c.grey) {
            EXPECT_EQ(g.PaletteIdent(), pGray256);
        }
        EXPECT_EQ(MaxDifference(g, ReadPnm(ref)), 0);
        JPEGReadMethod = 0;
    }
}

TEST_F(JpegTest, EncodesLikeCjpeg) {
    struct Case {
        const char* name;
        bool grey;
        bool progressive;
        int quality;
        const char* cjpegArgs;
    } cases[] = {
        {"colour", false, false, 80, "-quality 80 -baseline -dct float"},
        {"progressive", false, true, 80, "-quality 80 -baseline -dct float -progressive"},
        {"grey", true, false, 80, "-quality 80 -baseline -dct float"},
        {"low quality keeps baseline tables", false, false, 10, "-quality 10 -baseline -dct float"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string ours = dir / "ours.jpg", theirs = dir / "theirs.jpg";
        TPixelGraphic g;
        FromPnm(g, ReadPnm(c.grey ? pgm : ppm));
        JPEGProgressive = c.progressive;
        JPEGQuality = c.quality;
        Save(ours, g);
        ASSERT_TRUE(Shell(std::string("cjpeg ") + c.cjpegArgs + " -outfile " + Q(theirs) + " " +
                          Q(c.grey ? pgm : ppm)));
        EXPECT_TRUE(Bytes(ours) == Bytes(theirs));
        // A grey picture is stored with one component.
        EXPECT_EQ(Info(ours).BitsPerPixel, c.grey ? 8 : 24);
    }
}

TEST_F(JpegTest, InfoTexts) {
    const std::string base = dir / "b.jpg", prog = dir / "p.jpg", grey = dir / "g.jpg",
                      cmyk = dir / "c.jpg", ycck = dir / "k.jpg";
    ASSERT_TRUE(Shell("cjpeg -outfile " + Q(base) + " " + Q(ppm)));
    ASSERT_TRUE(Shell("cjpeg -progressive -outfile " + Q(prog) + " " + Q(ppm)));
    ASSERT_TRUE(Shell("cjpeg -outfile " + Q(grey) + " " + Q(pgm)));
    ASSERT_TRUE(Shell(std::string(kPython) +
                      " -c \"import sys; from PIL import Image; "
                      "Image.open(sys.argv[1]).convert('CMYK').save(sys.argv[2])\" " +
                      Q(ppm) + " " + Q(cmyk)));
    ASSERT_TRUE(Shell("convert " + Q(ppm) + " -colorspace CMYK " + Q(ycck)));
    struct Case {
        std::string file, subType, colors;
        int bits;
    } cases[] = {
        {base, "JFIF, YCbCr", "16.7M", 24},     {prog, "JFIF, YCbCr, Progressive", "16.7M", 24},
        {grey, "JFIF, GrayScale", "256", 8},    {cmyk, "Adope, CMYK", "4294.9M", 32},
        {ycck, "Adope, YCbCrK", "4294.9M", 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subType);
        TPGImageInfo info = Info(c.file);
        EXPECT_EQ(info.SubType, c.subType);
        EXPECT_EQ(info.Colors, c.colors);
        EXPECT_EQ(info.BitsPerPixel, c.bits);
        EXPECT_EQ(info.Width, 157);
        EXPECT_EQ(info.Height, 93);
        EXPECT_EQ(info.GraphicCount, 1);
        EXPECT_EQ(info.Options, "");
    }
    TPixelGraphic g;
    EXPECT_EQ(ErrorOf([&] { Load(cmyk, g); }), "JPG: Not supported subformat");
    EXPECT_EQ(ErrorOf([&] { Load(ycck, g); }), "JPG: Not supported subformat");
    EXPECT_EQ(ErrorOf([&] {
                  TFileStream s(base, TFileStream::OpenRead);
                  TJPGFileFormatReader().Read(s, g, 1);
              }),
              "JPG: Index invalid");
    EXPECT_EQ(ErrorOf([&] {
                  TFileStream s(base, TFileStream::OpenRead);
                  TPGImageInfo info;
                  TJPGFileFormatReader().GetInfo(s, 1, info);
              }),
              "JPG: Invalid value for Index");
}

TEST_F(JpegTest, TruncatedFileFollowsWarningAction) {
    const std::string jpg = dir / "t.jpg", cut = dir / "cut.jpg", ref = dir / "ref.ppm";
    ASSERT_TRUE(Shell("cjpeg -quality 90 -outfile " + Q(jpg) + " " + Q(ppm)));
    ASSERT_TRUE(Shell("djpeg -pnm -outfile " + Q(ref) + " " + Q(jpg)));
    std::vector<uint8_t> b = Bytes(jpg);
    b.resize(b.size() * 6 / 10);
    WriteBytes(cut, b);
    const Pnm full = ReadPnm(ref);

    std::string boxText, boxCaption;
    TPGBoxResult answer = TPGBoxResult::OK;
    PGMessageBoxHandler = [&](const std::string& text, const std::string& caption, TPGBoxButtons) {
        boxText = text;
        boxCaption = caption;
        return answer;
    };
    struct Case {
        TPGWarningAction action;
        TPGBoxResult answer;
        std::string error;
        bool box;
    } cases[] = {
        {pgwaIgnore, TPGBoxResult::OK, "(no error)", false},
        {pgwaOKBox, TPGBoxResult::OK, "(no error)", true},
        {pgwaOKCancelBox, TPGBoxResult::OK, "(no error)", true},
        {pgwaOKCancelBox, TPGBoxResult::Cancel, "JPG: Operation aborted on user request", true},
        {pgwaRaise, TPGBoxResult::OK, "JPG: Premature end of JPEG file", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.action) * 10 + int(c.answer));
        boxText.clear();
        answer = c.answer;
        TPixelGraphic g;
        g.SetReadWarningAction(c.action);
        EXPECT_EQ(ErrorOf([&] { Load(cut, g); }), c.error);
        EXPECT_EQ(boxText, c.box ? "Premature end of JPEG file" : "");
        if (c.box) {
            EXPECT_EQ(boxCaption, "JPG Warning");
        }
        // Whatever happened, the rows decoded before the end stay.
        ASSERT_EQ(g.GetWidth(), 157);
        for (int x = 0; x < 157; x += 13)
            EXPECT_EQ(g.GetPixelColor(x, 2), full.Color(x, 2));
    }
}

TEST_F(JpegTest, CorruptDataRaisesLibraryMessage) {
    const std::string jpg = dir / "x.jpg";
    ASSERT_TRUE(Shell("cjpeg -outfile " + Q(jpg) + " " + Q(ppm)));
    const std::vector<uint8_t> good = Bytes(jpg);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        std::string error;
    } cases[] = {
        {"signature only", {0xFF, 0xD8}, "JPG: Premature end of JPEG file"},
        {"not a marker after SOI", {0xFF, 0xD8, 0x12, 0x34, 0x56}, ""},
        {"empty", {}, "JPG: Empty input file"},
        {"header cut", std::vector<uint8_t>(good.begin(), good.begin() + 30), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string f = dir / "bad.jpg";
        WriteBytes(f, c.bytes);
        TPixelGraphic g;
        g.SetReadWarningAction(pgwaRaise);
        const std::string err = ErrorOf([&] { Load(f, g); });
        EXPECT_EQ(err.rfind("JPG: ", 0), 0u) << err;
        EXPECT_GT(err.size(), 5u);
        if (!c.error.empty()) {
            EXPECT_EQ(err, c.error);
        }
    }
}

TEST_F(JpegTest, ProgressAndAbort) {
    const std::string jpg = dir / "p.jpg";
    ASSERT_TRUE(Shell("cjpeg -outfile " + Q(jpg) + " " + Q(ppm)));
    TPixelGraphic g;
    TJPGFileFormatReader reader;
    int starts = 0, ends = 0, steps = 0, lastStep = 0, lastMax = 0;
    TObject* sender = nullptr;
    g.OnProgressStart = [&](TObject* s) { ++starts, sender = s; };
    g.OnProgressEnd = [&](TObject*) { ++ends; };
    g.OnProgress = [&](TObject*, int step, int max, bool& abort) {
        ++steps, lastStep = step, lastMax = max;
        abort = step == 40;
    };
    TFileStream s(jpg, TFileStream::OpenRead);
    reader.Read(s, g, 0); // an abort is no error
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(sender, &reader);
    EXPECT_EQ(steps, 40);
    EXPECT_EQ(lastStep, 40);
    EXPECT_EQ(lastMax, 93);
    EXPECT_EQ(g.GetHeight(), 93);
}

TEST_F(JpegTest, ProgressiveScansCanBeAborted) {
    // A progressive file is decoded scan by scan before its first row: the
    // scans report step 0, an abort there returns at once with a blank
    // picture, and a handler's own exception comes through unchanged.
    const std::string jpg = dir / "prog.jpg";
    ASSERT_TRUE(Shell("cjpeg -progressive -outfile " + Q(jpg) + " " + Q(ppm)));
    struct Case {
        int abortAt; // call that aborts, 0 = none
        bool raise;
    } cases[] = {{0, false}, {1, false}, {5, false}, {3, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.abortAt);
        TPixelGraphic g;
        int calls = 0, scanCalls = 0, ends = 0;
        g.OnProgressEnd = [&](TObject*) { ++ends; };
        g.OnProgress = [&](TObject*, int step, int max, bool& abort) {
            ++calls;
            EXPECT_EQ(max, 93);
            if (step == 0) ++scanCalls;
            if (calls == c.abortAt && c.raise) throw EPixelGraphic("stop here");
            abort = calls == c.abortAt;
        };
        if (c.raise) {
            EXPECT_THROW(Load(jpg, g), EPixelGraphic);
        } else {
            Load(jpg, g);
        }
        EXPECT_EQ(ends, 1);
        if (c.abortAt == 0) {
            EXPECT_GT(scanCalls, 10); // every scan, row by row
            EXPECT_EQ(calls, scanCalls + 93);
        } else {
            EXPECT_EQ(calls, c.abortAt);
            if (!c.raise) {
                EXPECT_EQ(g.GetPixel(0, 0), 0);
            }
        }
    }
}

TEST_F(JpegTest, WriterRefusesPaletteFormats) {
    TPixelGraphic g;
    g.SetFormat(8, 8, pg4Bit);
    g.SetPaletteIdent(pSys16);
    TMemoryStream m;
    EXPECT_EQ(ErrorOf([&] { TJPGFileFormatWriter().Write(m, g); }),
              "JPG: Invalid value for BitCount");
}

TEST_F(JpegTest, SizeCapStopsLargeAllocations) {
    // A progressive file needs a coefficient buffer twice the size of a grey
    // picture: with the cap between the two, the picture is made but the
    // decoder may not take the rest.
    const std::string big = dir / "big.pgm", jpg = dir / "big.jpg";
    ASSERT_TRUE(Shell("convert -size 1000x1000 gradient: -depth 8 " + Q(big)));
    ASSERT_TRUE(Shell("cjpeg -progressive -outfile " + Q(jpg) + " " + Q(big)));
    PGMaxImageBytes = 1500000;
    TPixelGraphic g;
    const std::string err = ErrorOf([&] { Load(jpg, g); });
    EXPECT_EQ(err.rfind("JPG: ", 0), 0u) << err;
    // Below the picture's own size the picture's allocation error comes first.
    PGMaxImageBytes = 500000;
    EXPECT_THROW(Load(jpg, g), EPixelGraphic);
}

TEST_F(JpegTest, EndlessScansAreRefused) {
    // A progressive file whose last scan is repeated many times: each repeat
    // is only a warning for the library, but the reader stops at its limit.
    const std::string jpg = dir / "s.jpg", bad = dir / "many.jpg";
    ASSERT_TRUE(Shell("cjpeg -progressive -outfile " + Q(jpg) + " " + Q(pgm)));
    std::vector<uint8_t> b = Bytes(jpg);
    size_t sos = 0;
    for (size_t i = 0; i + 1 < b.size(); ++i)
        if (b[i] == 0xFF && b[i + 1] == 0xDA) sos = i;
    ASSERT_GT(sos, 0u);
    std::vector<uint8_t> scan(b.begin() + long(sos), b.end() - 2),
        out(b.begin(), b.begin() + long(sos));
    for (int k = 0; k < kJPEGMaxScans + 10; ++k)
        out.insert(out.end(), scan.begin(), scan.end());
    out.insert(out.end(), {0xFF, 0xD9});
    WriteBytes(bad, out);
    TPixelGraphic g;
    g.SetReadWarningAction(pgwaIgnore);
    EXPECT_EQ(ErrorOf([&] { Load(bad, g); }), "JPG: Too many scans in progressive file");
}

} // namespace
