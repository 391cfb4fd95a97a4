// Scan frames into DIBs: every depth and frame kind, lines unknown or cut
// short, and frames that cannot be a picture.

#include <gtest/gtest.h>

#include <cstring>

#include "core/pixelgraphic.h"
#include "editor/sanescan.h"
#include "formats/bmp.h"

namespace {

using TFrames = std::vector<std::pair<TSaneFrameInfo, std::vector<uint8_t>>>;

TSaneFrameInfo Info(int format, int depth, int64_t width, int64_t bpl, int64_t lines) {
    TSaneFrameInfo i;
    i.format = format;
    i.depth = depth;
    i.pixelsPerLine = width;
    i.bytesPerLine = bpl;
    i.lines = lines;
    return i;
}

std::unique_ptr<TPixelGraphic> Picture(const TFrames& frames, std::string* error = nullptr) {
    std::vector<uint8_t> dib;
    std::string e;
    if (!SaneFramesToDib(frames, 1 << 20, dib, e)) {
        if (error) *error = e;
        return nullptr;
    }
    auto pg = std::make_unique<TPixelGraphic>();
    DecodePackedDIB(*pg, dib.data(), dib.size());
    return pg;
}

} // namespace

TEST(SaneDib, DepthsAndFrames) {
    // Grey 1: SANE's 1 is black, the leftmost pixel in the top bit.
    auto g1 = Picture({{Info(sfGray, 1, 3, 1, 2), {0b10100000, 0b01000000}}});
    ASSERT_TRUE(g1);
    EXPECT_EQ(g1->GetPixelColor(0, 0), RGB(0, 0, 0));
    EXPECT_EQ(g1->GetPixelColor(1, 0), RGB(255, 255, 255));
    EXPECT_EQ(g1->GetPixelColor(1, 1), RGB(0, 0, 0));
    // Grey 16 scaled as (v x 255 + 32767) / 65535; extra bytes per line skipped.
    std::vector<uint8_t> g16(2 * 6);
    const uint16_t vals[2] = {0x8080, 0x0101};
    std::memcpy(g16.data(), &vals[0], 2);
    std::memcpy(g16.data() + 2, &vals[1], 2);
    std::memcpy(g16.data() + 6, &vals[1], 2);
    std::memcpy(g16.data() + 8, &vals[0], 2);
    auto g = Picture({{Info(sfGray, 16, 2, 6, 2), g16}});
    ASSERT_TRUE(g);
    EXPECT_EQ(g->GetPixelColor(0, 0), RGB(128, 128, 128));
    EXPECT_EQ(g->GetPixelColor(1, 0), RGB(1, 1, 1));
    // Three passes in any order make one colour picture.
    auto c = Picture({{Info(sfBlue, 8, 1, 1, 1), {30}},
                      {Info(sfRed, 8, 1, 1, 1), {10}},
                      {Info(sfGreen, 8, 1, 1, 1), {20}}});
    ASSERT_TRUE(c);
    EXPECT_EQ(c->GetPixelColor(0, 0), RGB(10, 20, 30));
    // Lines unknown: as many as arrived; cut short: the rows received.
    auto u = Picture({{Info(sfRGB, 8, 1, 3, -1), {1, 2, 3, 4, 5, 6, 7}}});
    ASSERT_TRUE(u);
    EXPECT_EQ(u->GetHeight(), 2);
    EXPECT_EQ(u->GetPixelColor(0, 1), RGB(4, 5, 6));
}

TEST(SaneDib, FramesThatCannotBeAPicture) {
    struct Case {
        const char* what;
        TFrames frames;
    } cases[] = {
        {"no frames", {}},
        {"line shorter than its pixels", {{Info(sfRGB, 8, 4, 11, 1), std::vector<uint8_t>(11)}}},
        {"depth 12", {{Info(sfGray, 12, 2, 4, 1), std::vector<uint8_t>(4)}}},
        {"frame format 9", {{Info(9, 8, 1, 1, 1), {1}}}},
        {"nothing arrived", {{Info(sfGray, 8, 4, 4, 3), {}}}},
        {"a colour pass missing",
         {{Info(sfRed, 8, 1, 1, 1), {1}}, {Info(sfGreen, 8, 1, 1, 1), {2}}}},
        {"2^31 lines past the cap",
         {{Info(sfGray, 8, 1024, 1024, int64_t(1) << 31), std::vector<uint8_t>(1 << 21)}}},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(Picture(c.frames, &error), nullptr) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
    TSaneApi missing("libsane-not-there.so.1");
    EXPECT_FALSE(missing.Load());
    std::vector<TSaneDevice> devices;
    std::string error;
    EXPECT_FALSE(missing.Devices(devices, error));
    EXPECT_EQ(error, "SANE is not installed");
}

// Lines built as they arrive, in pieces of any length, give the same DIB
// as the whole frame, also when it ends early or sends too many lines.
TEST(SaneDib, BuiltWhileArrivingEqualsTheWholeFrame) {
    const TSaneFrameInfo kinds[] = {Info(sfGray, 8, 5, 7, 5), Info(sfGray, 1, 13, 3, 5),
                                    Info(sfGray, 16, 3, 6, 5), Info(sfRGB, 8, 5, 16, 5),
                                    Info(sfRGB, 16, 2, 12, 5)};
    for (const TSaneFrameInfo& kind : kinds)
        for (int64_t rows : {5, 3, 7})
            for (size_t piece : {size_t(1), size_t(7), size_t(1000)}) {
                std::vector<uint8_t> bytes(size_t(rows * kind.bytesPerLine));
                for (size_t k = 0; k < bytes.size(); ++k)
                    bytes[k] = uint8_t(k * 37 + 11);
                std::vector<uint8_t> whole, built;
                std::string e;
                ASSERT_TRUE(SaneFramesToDib({{kind, bytes}}, 1 << 20, whole, e)) << e;
                TSaneDibBuilder b;
                ASSERT_TRUE(b.Begin(kind, 1 << 20, built, e)) << e;
                for (size_t k = 0; k < bytes.size(); k += piece)
                    b.Add(bytes.data() + k, std::min(piece, bytes.size() - k));
                ASSERT_TRUE(b.Finish(e)) << e;
                EXPECT_EQ(built, whole) << "depth " << kind.depth << " rows " << rows
                                        << " pieces of " << piece;
            }
}

// A library that sends what the test backend never does: each scan fails
// with a reason and holds nothing beyond the cap; a library without one of
// the entries counts as absent.
TEST(SaneDib, FakeLibraryFaults) {
    const struct {
        const char* mode;
        bool ok;
        std::string error;
    } cases[] = {
        {"", true, ""},
        {"bpl-small", false, "a line is shorter than its pixels"},
        {"depth12", false, "depth 12 is not supported"},
        {"format9", false, "the frames of the scan do not agree"},
        {"lines2^31", false, "The picture is too large"},
        {"read-too-long", false, "The scanner sent more than was asked"},
        {"empty", false, "The scanner sent an empty picture"},
        {"endless", false, "The picture is too large"},
    };
    for (const auto& c : cases) {
        setenv("FAKE_SANE", c.mode, 1);
        TSaneApi sane(FAKE_SANE_PATH);
        std::vector<uint8_t> dib;
        std::string error;
        EXPECT_EQ(sane.Scan("", {}, 1 << 20, dib, error), c.ok) << c.mode;
        EXPECT_EQ(error, c.error) << c.mode;
        if (c.ok) {
            TPixelGraphic pg;
            DecodePackedDIB(pg, dib.data(), dib.size());
            EXPECT_EQ(pg.GetWidth(), 4);
            EXPECT_EQ(pg.GetHeight(), 2);
            EXPECT_EQ(pg.GetPixelColor(0, 0), RGB(0x80, 0x80, 0x80));
        } else {
            EXPECT_TRUE(dib.empty()) << c.mode;
        }
    }
    unsetenv("FAKE_SANE");
    TSaneApi noRead(FAKE_SANE_NOREAD_PATH);
    EXPECT_FALSE(noRead.Load());
    EXPECT_TRUE(TSaneApi(FAKE_SANE_PATH).Load());
}
