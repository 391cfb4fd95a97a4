// Pictures inside form data.

#include <QGuiApplication>
#include <QMimeData>
#include <cstring>
#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "core/qt/formdata.h"
#include "core/stream.h"
#include "formats/library.h"
#include "support/test_pictures.h"

namespace {

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
