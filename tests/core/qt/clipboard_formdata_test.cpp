// Clipboard round trips, clipboard errors, and pictures inside form data.

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <cstring>
#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "core/qt/clipboard.h"
#include "core/qt/formdata.h"
#include "core/stream.h"
#include "formats/library.h"
#include "support/test_pictures.h"

namespace {

void ExpectSamePixels(const TPixelGraphic& a, const TPixelGraphic& b) {
    ASSERT_EQ(a.GetWidth(), b.GetWidth());
    ASSERT_EQ(a.GetHeight(), b.GetHeight());
    ASSERT_EQ(a.PixelFormat(), b.PixelFormat());
    EXPECT_EQ(a.Palette(), b.Palette());
    for (int y = 0; y < a.GetHeight(); ++y)
        ASSERT_EQ(0, std::memcmp(a.ScanLine(y), b.ScanLine(y), size_t(a.RowBytes()))) << y;
}

class ClipboardRoundTrip : public ::testing::TestWithParam<TPGPixelFormat> {
  protected:
    void SetUp() override { InitImageLibrary(); }
};

TEST_P(ClipboardRoundTrip, PacketDibBmpAndImageAllGiveThePictureBack) {
    auto pg = MakeTestPicture(GetParam(), 11, 4);
    const std::vector<uint8_t> dib = SaveToClipboardFormat(*pg);
    TPixelGraphic fromDib;
    LoadFromClipboardFormat(fromDib, CF_DIB, dib.data(), dib.size());
    ExpectSamePixels(*pg, fromDib);

    PGCopyToClipboard(*pg);
    TPixelGraphic pasted;
    PGPasteFromClipboard(pasted);
    ExpectSamePixels(*pg, pasted);

    // Without "image/bmp" the plain image is taken.
    QMimeData imageOnly;
    imageOnly.setImageData(QGuiApplication::clipboard()->mimeData()->imageData());
    TPixelGraphic fromImage;
    PGPasteFromMimeData(fromImage, &imageOnly);
    EXPECT_EQ(fromImage.GetPixelColor(10, 3), pg->GetPixelColor(10, 3));
}

INSTANTIATE_TEST_SUITE_P(Formats, ClipboardRoundTrip,
                         ::testing::Values(pg1Bit, pg4Bit, pg8Bit, pg24Bit));

TEST(Clipboard, UnknownOrBadDataRaisesAndLeavesThePicture) {
    InitImageLibrary();
    auto pg = MakeTestPicture(pg24Bit, 3, 3);
    const TRGB before = pg->GetPixel(1, 1);
    std::vector<uint8_t> dib = SaveToClipboardFormat(*pg);
    EXPECT_THROW(LoadFromClipboardFormat(*pg, 1, dib.data(), dib.size()),
                 EPGUnknownClipboardFormat);
    EXPECT_THROW(LoadFromClipboardFormat(*pg, CF_DIB, dib.data(), 0), EPGUnknownClipboardFormat);
    try {
        LoadFromClipboardFormat(*pg, 7, dib.data(), dib.size());
        FAIL();
    } catch (const EPGUnknownClipboardFormat& e) {
        EXPECT_STREQ(e.what(), "Unknown clipboard format");
    }
    dib.resize(60); // header promises far more pixels than the block holds
    EXPECT_ANY_THROW(LoadFromClipboardFormat(*pg, CF_DIB, dib.data(), dib.size()));
    QMimeData nothing;
    nothing.setText("not a picture");
    EXPECT_THROW(PGPasteFromMimeData(*pg, &nothing), EPGUnknownClipboardFormat);
    QMimeData badBmp;
    badBmp.setData("image/bmp", QByteArray("BM\x10\0\0\0", 6));
    EXPECT_ANY_THROW(PGPasteFromMimeData(*pg, &badBmp));
    EXPECT_EQ(pg->GetWidth(), 3);
    EXPECT_EQ(pg->GetPixel(1, 1), before);
}

TEST(FormData, RoundTripLeavesTheStreamAfterThePicture) {
    InitImageLibrary();
    auto pg = MakeTestPicture(pg4Bit, 7, 5);
    TMemoryStream s;
    s.WriteU8(0xAB);
    WriteData(*pg, s);
    s.WriteU32LE(0xDEADBEEF);
    s.SetPosition(1);
    const uint32_t length = s.ReadU32LE();
    EXPECT_EQ(int64_t(length) + 1 + 4 + 4, s.Size());
    s.SetPosition(1);
    TPixelGraphic back;
    ReadData(back, s);
    ExpectSamePixels(*pg, back);
    EXPECT_EQ(s.ReadU32LE(), 0xDEADBEEFu);

    // A length past the data raises before reading and changes nothing.
    std::vector<uint8_t> cut(s.Data().begin() + 1, s.Data().begin() + 1 + 4 + 30);
    TMemoryStream shortStream(cut);
    EXPECT_THROW(ReadData(back, shortStream), EReadError);
    ExpectSamePixels(*pg, back);
}

} // namespace
