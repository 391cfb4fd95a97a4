// The wait cursor guard: whatever way a scope is left, the cursor stack is
// back where it was, and nested guards unwind in order.

#include <QGuiApplication>
#include <gtest/gtest.h>
#include <stdexcept>

#include "platform/waitcursor.h"

namespace {
int Depth() {
    // Qt keeps a stack of override cursors; count it by taking them off.
    int n = 0;
    while (QGuiApplication::overrideCursor()) {
        QGuiApplication::restoreOverrideCursor();
        ++n;
    }
    for (int i = 0; i < n; ++i) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    return n;
}
} // namespace

TEST(WaitCursor, ShownForTheScopeAndRestoredOnEveryExit) {
    ASSERT_EQ(Depth(), 0);
    {
        TWaitCursor outer;
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            TWaitCursor inner;
            EXPECT_EQ(Depth(), 2);
        }
        EXPECT_EQ(Depth(), 1);
    }
    EXPECT_EQ(Depth(), 0);

    // An exception leaves no cursor behind.
    try {
        TWaitCursor wait;
        throw std::runtime_error("failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(Depth(), 0);

    // An early Restore takes back only its own cursor, once.
    {
        TWaitCursor outer;
        TWaitCursor inner;
        inner.Restore();
        inner.Restore();
        EXPECT_EQ(Depth(), 1);
    }
    EXPECT_EQ(Depth(), 0);

    // A guard asked to show nothing changes nothing.
    {
        TWaitCursor off(false);
        EXPECT_EQ(Depth(), 0);
    }
    EXPECT_EQ(Depth(), 0);
}
