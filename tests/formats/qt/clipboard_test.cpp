// The clipboard: a picture goes there as a packed DIB inside a BMP file
// plus a plain image; round trips, and unknown or bad data.

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <cstring>
#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "core/qt/bitmap.h"
#include "core/stream.h"
#include "formats/library.h"
#include "formats/qt/clipboard.h"
#include "support/test_pictures.h"

namespace {

TEST(Clipboard, CarriesAPackedDibAsBmpAndAnImage) {
    auto pg = MakeTestPicture(pg8Bit, 5, 3);
    pg->SetPaletteCount(20); // biClrUsed follows the palette, not the format
    const std::vector<uint8_t> dib = SaveToClipboardFormat(*pg);
    ASSERT_EQ(dib.size(), size_t(40 + 4 * 20 + pg->ImageSize()));
    BITMAPINFOHEADER h;
    std::memcpy(&h, dib.data(), 40);
    EXPECT_EQ(h.biClrUsed, 20u);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biHeight, 3);
    EXPECT_EQ(dib[40 + 4 * 3 + 2], GetRValue(pg->PaletteEntry(3)));

    PGCopyToClipboard(*pg);
    ASSERT_TRUE(PGClipboardHasPicture());
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    const QByteArray bmp = mime->data("image/bmp");
    ASSERT_EQ(size_t(bmp.size()), 14 + dib.size());
    EXPECT_TRUE(bmp.startsWith("BM"));
    EXPECT_EQ(0, std::memcmp(bmp.constData() + 14, dib.data(), dib.size()));
    const QImage img = qvariant_cast<QImage>(mime->imageData());
    EXPECT_EQ(img.pixel(4, 2) & 0xFFFFFF, ShownColor(*pg, 4, 2) & 0xFFFFFF);

    TPixelGraphic empty;
    EXPECT_THROW(SaveToClipboardFormat(empty), EPGEmpty);
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

} // namespace
