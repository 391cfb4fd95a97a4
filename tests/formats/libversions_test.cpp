#include <gtest/gtest.h>
#include <png.h>
#include <string>

#include "formats/libversions.h"

TEST(LibraryVersions, AreReadFromTheLibrariesAtRunTime) {
    using namespace std::string_literals;
    EXPECT_EQ(FindJpegTurboVersionMark("\x7f"
                                       "ELF\0..libjpeg-turbo version 2.1.5 (build 2023)\0"s),
              "2.1.5");
    EXPECT_EQ(FindJpegTurboVersionMark("libjpeg-turbo version 3.0.90"),
              "3.0.90"); // at the very end
    EXPECT_EQ(FindJpegTurboVersionMark("libjpeg version 9e"), "");
    EXPECT_EQ(FindJpegTurboVersionMark(""), "");

    const TLibraryVersion png = PngLibraryVersion();
    EXPECT_EQ(png.running, png_get_libpng_ver(nullptr));
    EXPECT_EQ(png.built, PNG_LIBPNG_VER_STRING);
    const TLibraryVersion jpeg = JpegLibraryVersion();
    EXPECT_EQ(jpeg.name, "libjpeg-turbo");
    EXPECT_FALSE(jpeg.running.empty());
    EXPECT_NE(jpeg.running.find('.'), std::string::npos);
}
