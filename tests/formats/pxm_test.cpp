#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "formats/pxm.h"
#include "raster_support.h"

using namespace raster;

namespace {

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

TPixelGraphic& Load(TPixelGraphic& pic, const Bytes& f) {
    TPPMFileFormatReader r; // the three readers share one implementation
    ReadWith(r, f, pic);
    return pic;
}

std::string ReadError(const Bytes& f) {
    TPixelGraphic pic;
    TPGMFileFormatReader r;
    return MessageOf<EPGPxMFileFormatReader>([&] { ReadWith(r, f, pic); });
}

// Restores the binary option however a test ends.
struct BinaryOption {
    explicit BinaryOption(bool on) : old(PxMWriteBinary) { PxMWriteBinary = on; }
    ~BinaryOption() { PxMWriteBinary = old; }
    bool old;
};

} // namespace

// Plain and raw files from netpbm, with maxvals other than 255, decode to
// the pixels netpbm itself sees.
TEST(PxMReader, MatchesNetpbm) {
    if (!HaveTool("pnmtoplainpnm") || !HaveTool("pamdepth")) GTEST_SKIP() << "netpbm missing";
    TempDir dir;
    const int w = 29, h = 5;
    const Bytes rgb = Pattern(w, h);
    WriteP6(dir / "in.ppm", w, h, rgb);
    const Bytes bw = Pattern(w, h, 2);
    WriteP6(dir / "bw.ppm", w, h, bw);
    const std::string in = "'" + (dir / "in.ppm") + "'", bwin = "'" + (dir / "bw.ppm") + "'";
    const char* cases[] = {
        "cat IN",
        "pnmtoplainpnm IN",
        "pamdepth 15 IN",
        "pamdepth 15 IN | pnmtoplainpnm",
        "pamdepth 1000 IN | pnmtoplainpnm", // plain files may exceed 255
        "ppmtopgm IN",
        "ppmtopgm IN | pamdepth 7 | pnmtoplainpnm",
        "ppmtopgm BW | pgmtopbm",
        "ppmtopgm BW | pgmtopbm | pnmtoplainpnm",
    };
    for (std::string cmd : cases) {
        SCOPED_TRACE(cmd);
        if (cmd.find("IN") != std::string::npos) cmd.replace(cmd.find("IN"), 2, in);
        if (cmd.find("BW") != std::string::npos) cmd.replace(cmd.find("BW"), 2, bwin);
        ASSERT_EQ(Shell(cmd + " > '" + (dir / "o.pnm") + "'"), 0);
        // netpbm's view of the same file, scaled to 255 and binary.
        ASSERT_EQ(Shell("pamdepth 255 '" + (dir / "o.pnm") + "' | pnmtopnm | ppmtoppm > '" + (dir / "ref.ppm") + "'"), 0);
        TPixelGraphic pic;
        Load(pic, Slurp(dir / "o.pnm"));
        const Bytes ref = Slurp(dir / "ref.ppm");
        ASSERT_GT(ref.size(), size_t(w * h * 3));
        // netpbm rounds when it rescales; we scale with v x 255 div max, so
        // the two may differ by one where max does not divide 255 evenly.
        const Bytes ours = PictureRGB(pic), theirs(ref.end() - w * h * 3, ref.end());
        const bool exact = cmd.find("1000") == std::string::npos && cmd.find(" 7 ") == std::string::npos;
        for (size_t i = 0; i < ours.size(); ++i)
            ASSERT_LE(std::abs(int(ours[i]) - int(theirs[i])), exact ? 0 : 1) << "byte " << i;
    }
}

// What we write in both modes, netpbm and Pillow read as our pixels.
TEST(PxMWriter, OraclesReadOurFilesInBothModes) {
    if (!HaveTool("pnmtopnm")) GTEST_SKIP() << "netpbm missing";
    TempDir dir;
    const int w = 21, h = 4;
    TPixelGraphic rgb, grey, bw;
    PictureFromRGB(rgb, w, h, Pattern(w, h));
    grey.SetFormat(w, h, pg8Bit);
    grey.SetPaletteIdent(pGray256);
    bw.SetFormat(w, h, pg1Bit);
    bw.SetPaletteIdent(pBlackWhite);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            grey.SetPixel(x, y, (x * 13 + y * 50) % 256);
            bw.SetPixel(x, y, (x + y) % 3 == 0);
        }
    TPPMFileFormatWriter ppm;
    TPGMFileFormatWriter pgm;
    TPBMFileFormatWriter pbm;
    struct Case {
        TFileFormatWriter* writer;
        TPixelGraphic* pic;
    } cases[] = {{&ppm, &rgb}, {&pgm, &grey}, {&pbm, &bw}};
    for (bool binary : {false, true}) {
        BinaryOption opt(binary);
        for (const auto& c : cases) {
            SCOPED_TRACE(c.writer->Extension + (binary ? " binary" : " ascii"));
            const std::string path = dir / ("o." + c.writer->Extension);
            WriteFile(*c.writer, *c.pic, path);
            ASSERT_EQ(Shell("pnmtopnm '" + path + "' | pamdepth 255 | ppmtoppm > '" + (dir / "ref.ppm") + "'"), 0);
            const Bytes ref = Slurp(dir / "ref.ppm");
            ASSERT_GT(ref.size(), size_t(w * h * 3));
            EXPECT_EQ(Bytes(ref.end() - w * h * 3, ref.end()), PictureRGB(*c.pic));
            const Bytes pil = PillowRGB(path);
            if (!pil.empty()) {
                EXPECT_EQ(pil, PictureRGB(*c.pic));
            }
            EXPECT_EQ(Slurp(path)[1], '0' + (c.writer == &pbm ? 1 : c.writer == &pgm ? 2 : 3) + (binary ? 3 : 0));
        }
    }
}

TEST(PxMReader, HeaderAndValueRules) {
    TPixelGraphic pic;
    // P2 with max 15: 15 -> 255, 7 -> 119; a comment between width and height.
    Load(pic, Text("P2\n3 # width\n# whole line\n1\n15\n15 7 0\n"));
    EXPECT_EQ(pic.PaletteIdent(), pGray256);
    EXPECT_EQ(pic.GetPixel(0, 0), 255);
    EXPECT_EQ(pic.GetPixel(1, 0), 119);
    // Values above max count as max instead of wrapping around.
    Load(pic, Text("P3 1 1 100 250 100 50\n"));
    EXPECT_EQ(pic.GetPixel(0, 0), RGB(255, 255, 127));
    // A P2 file with max 65535 is read, scaled.
    Load(pic, Text("P2 2 1 65535 65535 32768"));
    EXPECT_EQ(pic.GetPixel(0, 0), 255);
    EXPECT_EQ(pic.GetPixel(1, 0), 127);
    // Plain PBM digits need no blanks between them: "0101" is four pixels
    // (1 = black = index 0).
    Load(pic, Text("P1 4 2\n0101\n1 1 0 0\n"));
    EXPECT_EQ(pic.PaletteIdent(), pBlackWhite);
    const int expect[2][4] = {{1, 0, 1, 0}, {0, 0, 1, 1}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(pic.GetPixel(x, y), expect[y][x]);
    // A 10-pixel P4 row takes 2 bytes, inverted into the picture.
    Bytes p4 = Text("P4 10 2\n");
    p4.insert(p4.end(), {0x80, 0x40, 0xFF, 0xC0});
    Load(pic, p4);
    EXPECT_EQ(pic.GetPixel(0, 0), 0);
    EXPECT_EQ(pic.GetPixel(1, 0), 1);
    EXPECT_EQ(pic.GetPixel(9, 0), 0);
    EXPECT_EQ(pic.GetPixel(9, 1), 0);
    // P5/P6 with a small max are scaled; the single blank after max is
    // consumed and the data starts right after it, even with a blank value.
    Bytes p6 = Text("P6 1 1 3\n");
    p6.insert(p6.end(), {3, 1, 0});
    Load(pic, p6);
    EXPECT_EQ(pic.GetPixel(0, 0), RGB(255, 85, 0));
    Bytes p5 = Text("P5 2 1 255\n");
    p5.insert(p5.end(), {' ', 7});
    Load(pic, p5);
    EXPECT_EQ(pic.GetPixel(0, 0), 32);
}

TEST(PxMReader, RejectsBadFiles) {
    struct Case {
        const char* name;
        std::string file;
        std::string message;
    } cases[] = {
        {"not P", "Q5 1 1 255\n", "PBM, PGM, PPM: Not a PBM, PGM, PPM file"},
        {"P7", "P7 1 1 255\n", "PBM, PGM, PPM: Unknown subformat"},
        {"max 0", "P2 1 1 0 0\n", "PBM, PGM, PPM: Not supported subformat"},
        {"width 0", "P2 0 1 255\n", "PBM, PGM, PPM: Not supported subformat"},
        {"binary max 65535", "P5 1 1 65535\n\1\2", "PBM, PGM, PPM: Not supported subformat"},
        {"width overflows", "P5 4294967297 1 255\n\1", "PBM, PGM, PPM: Not supported subformat"},
        {"max overflows", "P2 1 1 99999999999999999999 5\n", "PBM, PGM, PPM: Not supported subformat"},
        {"short header", "P2 1", "PBM, PGM, PPM: Unexpected end of file"},
        {"short data", "P5 2 2 255\n\1\2\3", "PBM, PGM, PPM: Unexpected end of file"},
        {"short text", "P2 3 1 255\n1 2", "PBM, PGM, PPM: Unexpected end of file"},
        {"huge for its data", "P6 60000 60000 255\n\1\2\3", "PBM, PGM, PPM: Unexpected end of file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadError(Text(c.file)), c.message);
    }
    TPixelGraphic pic;
    TPGMFileFormatReader r;
    const Bytes f = Text("P5 1 1 255\n\1");
    EXPECT_EQ(MessageOf<EPGPxMFileFormatReader>([&] {
                  TReadOnlyMemoryStream s(f.data(), int64_t(f.size()));
                  r.Read(s, pic, 1);
              }),
              "PxM: Index invalid");
}

TEST(PxMWriter, TextLayoutAndChecks) {
    BinaryOption opt(false);
    TPixelGraphic bw;
    bw.SetFormat(2, 1, pg1Bit);
    bw.SetPaletteIdent(pBlackWhite);
    bw.SetPixel(0, 0, 0); // black
    bw.SetPixel(1, 0, 1); // white
    TPBMFileFormatWriter pbm;
    const Bytes f = WriteWith(pbm, bw);
    EXPECT_EQ(std::string(f.begin(), f.end()), "P1\n2 1\n1 0\n");

    TPixelGraphic grey;
    grey.SetFormat(3, 2, pg8Bit);
    grey.SetPaletteIdent(pGray256);
    grey.SetPixel(2, 1, 200);
    TPGMFileFormatWriter pgm;
    Bytes g = WriteWith(pgm, grey);
    EXPECT_EQ(std::string(g.begin(), g.end()), "P2\n3 2\n255\n0 0 0\n0 0 200\n");
    {
        BinaryOption bin(true);
        g = WriteWith(pgm, grey);
        EXPECT_EQ(std::string(g.begin(), g.begin() + 11), "P5\n3 2\n255\n");
        EXPECT_EQ(g.size(), 11u + 6u);
        EXPECT_EQ(g.back(), 200);
        const Bytes b = WriteWith(pbm, bw);
        EXPECT_EQ(b, (Bytes{'P', '4', '\n', '2', ' ', '1', '\n', 0xBF}));
    }

    // Wrong resolutions and sizes write nothing.
    TPPMFileFormatWriter ppm;
    struct Case {
        TFileFormatWriter* writer;
        TPixelGraphic* pic;
        std::string message;
    } cases[] = {
        {&pbm, &grey, "PBM: Invalid color resolution"},
        {&pgm, &bw, "PGM: Invalid color resolution"},
        {&ppm, &grey, "PPM: Invalid color resolution"},
    };
    for (const auto& c : cases) {
        TMemoryStream s;
        EXPECT_EQ(MessageOf<EPGPxMFileFormatWriter>([&] { c.writer->Write(s, *c.pic); }), c.message);
        EXPECT_EQ(s.Size(), 0);
    }
    TPixelGraphic empty;
    TMemoryStream s;
    EXPECT_EQ(MessageOf<EPGPxMFileFormatWriter>([&] { ppm.Write(s, empty); }),
              "PBM, PGM, PPM: Width = 0 or Height = 0");
}

TEST(PxMReader, InfoAndSignatures) {
    struct Case {
        std::string file, subType, colors;
        int bits;
    } cases[] = {
        {"P1 7 3\n", "ASCII", "2", 1},   {"P4 7 3\n", "Binary", "2", 1},
        {"P2 7 3 255\n", "ASCII", "256", 8}, {"P5 7 3 255\n", "Binary", "256", 8},
        {"P3 7 3 255\n", "ASCII", "16.7M", 24}, {"P6 7 # c\n3 255\n", "Binary", "16.7M", 24},
    };
    TPBMFileFormatReader r;
    for (const auto& c : cases) {
        const Bytes f = Text(c.file);
        TReadOnlyMemoryStream s(f.data(), int64_t(f.size()));
        TPGImageInfo info;
        r.GetInfo(s, 0, info);
        EXPECT_EQ(info.SubType, c.subType);
        EXPECT_EQ(info.Colors, c.colors);
        EXPECT_EQ(info.BitsPerPixel, c.bits);
        EXPECT_EQ(info.Width, 7);
        EXPECT_EQ(info.Height, 3);
    }
    const uint8_t p4[] = {'P', '4'}, p5[] = {'P', '5'}, p3[] = {'P', '3'};
    EXPECT_TRUE(TPBMFileFormatReader().CheckSignature(p4, 2));
    EXPECT_FALSE(TPBMFileFormatReader().CheckSignature(p5, 2));
    EXPECT_TRUE(TPGMFileFormatReader().CheckSignature(p5, 2));
    EXPECT_TRUE(TPPMFileFormatReader().CheckSignature(p3, 2));
    EXPECT_FALSE(TPPMFileFormatReader().CheckSignature(p3, 1));
}
