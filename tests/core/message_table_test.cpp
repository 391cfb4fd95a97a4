#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "core/messages.h"

TEST(MessageTable, NumbersMatchPositionsAndPlaceholdersReplaceOnce) {
    EXPECT_NO_THROW(CheckMessageTable(MessageTable, kMessageCount));
    EXPECT_EQ(PGMessage(6), "Unknown file format");
    EXPECT_EQ(PGMessage(19, "xyz"), "Unknown file extension \"xyz\"");
    EXPECT_EQ(PGMessage(17, "Portable Graymap", "16 system colors", "256 shades of gray"),
              "The graphic cannot be saved to a Portable Graymap file with the current color "
              "resolution (16 system colors).\r\rThe graphic will be saved with a different color "
              "resolution (256 shades of gray).");
    // A caller's text holding a placeholder is not substituted again.
    EXPECT_EQ(PGMessage(7, "%S1"), "%S1 invalid");
    EXPECT_EQ(PGMessage(85), "");
}

TEST(MessageTable, OrderCheckNamesTheFirstMismatch) {
    TPGMessageEntry bad[3] = {{0, ""}, {2, "x"}, {1, "y"}};
    try {
        CheckMessageTable(bad, 3);
        FAIL();
    } catch (const EPixelGraphic& e) {
        EXPECT_STREQ(e.what(), "PGLangStrEntries order wrong 1 and 2 are not identical");
    }
}
