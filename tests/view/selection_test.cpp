// The selection rectangle: its arithmetic, the frame on screen, and the
// mouse work with synthesised events.

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include "support/test_pictures.h"
#include "view/cursors.h"
#include "view/pgimage.h"
#include "view/selection.h"

namespace {

TEST(PGSelection, HandlesStripsAndStripes) {
    const TPGSelBox b{20, 10, 40, 30};
    EXPECT_EQ(PGHandleAt(b, QPoint(12, 2)), 0);
    EXPECT_EQ(PGHandleAt(b, QPoint(16, 6)), 0);
    EXPECT_EQ(PGHandleAt(b, QPoint(17, 6)), -1); // half-open: L-3 is outside
    EXPECT_EQ(PGHandleAt(b, QPoint(28, 2)), 1);
    EXPECT_EQ(PGHandleAt(b, QPoint(47, 33)), 7);
    EXPECT_EQ(PGHandleAt(b, QPoint(12, 18)), 3);
    EXPECT_TRUE(PGInsideSelection(b, QPoint(20, 10)));
    EXPECT_FALSE(PGInsideSelection(b, QPoint(40, 10)));
    const auto strips = PGSelectionStrips(b, 8, QRect(0, 0, 100, 100));
    EXPECT_EQ(strips[0], QRect(12, 2, 8, 36));
    EXPECT_EQ(strips[1], QRect(12, 2, 36, 8));
    EXPECT_EQ(strips[2], QRect(40, 2, 8, 36));
    EXPECT_EQ(strips[3], QRect(12, 30, 36, 8));
    // Far edges do not wrap; they are clipped.
    const TPGSelBox far{INT32_MIN + 2LL, 0, INT32_MAX + 5LL, 10};
    const auto clipped = PGSelectionStrips(far, 8, QRect(0, 0, 100, 100));
    EXPECT_TRUE(clipped[0].isEmpty());
    EXPECT_TRUE(clipped[1].isEmpty());
    EXPECT_TRUE(clipped[2].isEmpty());
    EXPECT_EQ(clipped[3], QRect(0, 10, 100, 8));
    // Stripes: four of each colour, diagonal, shifted by the index.
    const QImage p0 = PGStripePattern(Qt::white, Qt::red, 0);
    const QImage p3 = PGStripePattern(Qt::white, Qt::red, 3);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(p0.pixel(x, y) == QColor(Qt::red).rgb(), PGStripeIsColor2(0, x, y));
            EXPECT_EQ(p3.pixel(x, y) == QColor(Qt::red).rgb(), PGStripeIsColor2(3, x, y));
        }
    EXPECT_EQ(PGStripeIndex(1, -10, 2), 1); // (1 - 10 + 2) mod 8 = -7 -> 1
    EXPECT_EQ(PGStripeIndex(7, 8, 8), 7);
}

TEST(PGSelection, DragRules) {
    const TPGSelBounds s{10, 20, 30, 40};
    const int W = 100, H = 80;
    struct Case {
        const char* what;
        int state;
        QPoint q, offset, anchor;
        TPGSelBounds want;
    } cases[] = {
        {"create down-right", dsCreate, {15, 25}, {}, {5, 6}, {5, 6, 10, 19}},
        {"create up-left", dsCreate, {2, 3}, {}, {5, 6}, {2, 3, 3, 3}},
        {"create clamped to the picture", dsCreate, {500, -40}, {}, {5, 6}, {5, 0, 95, 6}},
        {"click gives one pixel", dsCreate, {5, 6}, {}, {5, 6}, {5, 6, 1, 1}},
        {"move", dsMove, {50, 50}, {3, 4}, {}, {47, 46, 30, 40}},
        {"move stops with one column left", dsMove, {-500, 50}, {3, 4}, {}, {-29, 46, 30, 40}},
        {"move stops at the last column", dsMove, {900, 900}, {0, 0}, {}, {99, 79, 30, 40}},
        {"top-left past the corner", dsTopLeft, {99, 79}, {0, 0}, {}, {39, 59, 1, 1}},
        {"bottom-right", dsBottomRight, {50, 70}, {10, 15}, {}, {10, 20, 40, 55}},
        {"bottom-right clamped", dsBottomRight, {5000, 7000}, {10, 15}, {}, {10, 20, 89, 64}},
        {"right edge at least 1", dsTopLeft + 4, {-50, 0}, {0, 0}, {}, {10, 20, 1, 40}},
        {"top-middle", dsTopLeft + 1, {0, 30}, {0, 0}, {}, {10, 30, 30, 30}},
        {"bottom-left", dsTopLeft + 5, {0, 0}, {0, 0}, {}, {0, 20, 40, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TPGSelBounds n = PGDragRule(c.state, s, c.q, c.offset, c.anchor, W, H);
        EXPECT_EQ(n.left, c.want.left);
        EXPECT_EQ(n.top, c.want.top);
        EXPECT_EQ(n.width, c.want.width);
        EXPECT_EQ(n.height, c.want.height);
    }
    EXPECT_EQ(PGHandleOffset(dsTopLeft + 2, s, QPoint(45, 15)), QPoint(15, -5));
    EXPECT_EQ(PGHandleOffset(dsTopLeft + 6, s, QPoint(45, 65)), QPoint(0, 25));
}

TEST(PGSelection, CursorRules) {
    using K = TPGCursorKind;
    struct Case {
        TActionMode mode;
        bool overflows, panning, selection, inside;
        int handle;
        K want;
    } cases[] = {
        {amMoveImage, false, false, false, false, -1, K::Inherited},
        {amMoveImage, true, false, false, false, -1, K::Pan},
        {amMoveImage, true, true, false, false, -1, K::Panning},
        {amMoveSelectionMoveImage, true, false, true, true, -1, K::MoveSelection},
        {amCreateSelection, true, false, true, true, -1, K::CreateSelection},
        {amMoveSelection, false, false, true, true, -1, K::MoveSelection},
        {amMoveResizeCreateSelection, false, false, true, false, 1, K::SizeVer},
        {amMoveResizeCreateSelection, false, false, true, false, 4, K::SizeHor},
        {amMoveResizeCreateSelection, false, false, true, false, 7, K::SizeFDiag},
        {amMoveResizeCreateSelection, false, false, true, false, 5, K::SizeBDiag},
        {amMoveResizeCreateSelection, false, false, false, false, 5, K::CreateSelection},
        {amNone, true, false, true, true, 0, K::Inherited},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.mode) << " handle " << c.handle);
        TPGCursorInputs in{c.mode, c.overflows, c.panning, c.selection, c.inside, c.handle};
        EXPECT_EQ(PGCursorFor(in), c.want);
    }
    struct Hot {
        const QCursor& c;
        QPoint hot;
    } hots[] = {{PGPanCursor(), {16, 12}},
                {PGPanningCursor(), {16, 12}},
                {PGCreateSelectionCursor(), {15, 15}},
                {PGMoveSelectionCursor(), {16, 15}}};
    for (const Hot& h : hots) {
        EXPECT_EQ(h.c.hotSpot(), h.hot);
        EXPECT_EQ(h.c.pixmap().size(), QSize(32, 32));
    }
}

// ---- the control

std::unique_ptr<TPGImage> MakeView(int w, int h, int pw, int ph) {
    auto v = std::make_unique<TPGImage>();
    v->SetBorderStyle(bsNone);
    v->resize(w, h);
    v->TakePixelGraphic(MakeTestPicture(pg24Bit, pw, ph));
    v->show();
    return v;
}

void Press(TPGImage& v, QPoint p) {
    QTest::mousePress(v.PicBox(), Qt::LeftButton, {}, p);
}
void Move(TPGImage& v, QPoint p) {
    QTest::mouseMove(v.PicBox(), p);
}
void Release(TPGImage& v, QPoint p) {
    QTest::mouseRelease(v.PicBox(), Qt::LeftButton, {}, p);
}

struct TCounts {
    int changes = 0, made = 0;
    void Attach(TPGImage& v) {
        v.OnSelectionChange = [this](TObject*) { ++changes; };
        v.OnSelectionMade = [this](TObject*) { ++made; };
    }
};

TEST(TPGImageSelection, MouseDownOutcomePerActionMode) {
    // Selection 20..39 x 20..39 of a picture shown 1:1; (30, 30) is inside,
    // (14, 14) on the top-left handle, (70, 70) outside.
    struct Case {
        TActionMode mode;
        bool overflows;
        QPoint at;
        int state;
    } cases[] = {
        {amMoveImage, false, {70, 70}, 0},
        {amMoveImage, true, {70, 70}, 1},
        {amMoveImage, true, {30, 30}, 1},
        {amMoveResizeCreateSelection, false, {30, 30}, 2},
        {amMoveResizeCreateSelection, false, {14, 14}, 4},
        {amMoveResizeCreateSelection, true, {70, 70}, 3},
        {amMoveSelection, false, {30, 30}, 2},
        {amMoveSelection, false, {70, 70}, 0},
        {amMoveSelectionMoveImage, true, {30, 30}, 2},
        {amMoveSelectionMoveImage, true, {70, 70}, 1},
        {amMoveSelectionMoveImage, false, {70, 70}, 0},
        {amCreateSelection, true, {30, 30}, 3},
        {amCreateSelection, false, {14, 14}, 3},
        {amNone, true, {30, 30}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << int(c.mode) << " overflows " << c.overflows << " at " << c.at.x());
        auto v = c.overflows ? MakeView(100, 100, 300, 300) : MakeView(200, 200, 100, 100);
        v->SetActionMode(c.mode);
        v->SetSelectionBounds(20, 20, 20, 20);
        v->SetSelection(true);
        Press(*v, c.at);
        EXPECT_EQ(v->DragState(), c.state);
        EXPECT_EQ(v->AutoScrollTimerActive(), c.state >= 2);
        Release(*v, c.at);
        EXPECT_EQ(v->DragState(), 0);
        EXPECT_FALSE(v->AutoScrollTimerActive());
    }
}

TEST(TPGImageSelection, ClickCreatesOnePixelAndDragsFollowTheRules) {
    auto v = MakeView(200, 200, 100, 100);
    TCounts n;
    n.Attach(*v);
    v->SetActionMode(amCreateSelection);
    Press(*v, QPoint(7, 9));
    Release(*v, QPoint(7, 9));
    EXPECT_TRUE(v->Selection());
    EXPECT_TRUE(v->SelectionTimerActive());
    EXPECT_EQ(v->SelectionRect(), QRect(7, 9, 1, 1));
    EXPECT_EQ(n.made, 1);
    // Created past the picture: clamped to it.
    Press(*v, QPoint(50, 60));
    Move(*v, QPoint(400, -30));
    Release(*v, QPoint(400, -30));
    EXPECT_EQ(v->SelectionRect(), QRect(50, 0, 50, 60)); // from the grid line at 60 up to the top
    EXPECT_EQ(n.made, 2);
    // Moved far left: only the last column stays over the picture.
    v->SetActionMode(amMoveSelection);
    Press(*v, QPoint(60, 30));
    Move(*v, QPoint(-900, 30));
    Release(*v, QPoint(-900, 30));
    EXPECT_EQ(v->SelectionLeft(), 1 - 50);
    // Top-left handle past the bottom-right corner.
    v->SetActionMode(amMoveResizeCreateSelection);
    v->SetSelectionBounds(20, 20, 10, 10);
    Press(*v, QPoint(14, 14));
    ASSERT_EQ(v->DragState(), 4);
    Move(*v, QPoint(90, 90));
    Release(*v, QPoint(90, 90));
    EXPECT_EQ(v->SelectionRect(), QRect(29, 29, 1, 1));
    // The setters report each change once, equal bounds not at all.
    n.changes = 0;
    v->SetSelectionLeft(3);
    v->SetSelectionRect(QRect(3, 29, 1, 1));
    v->SetSelectionWidth(5);
    EXPECT_EQ(n.changes, 2);
    v->SetSelection(false);
    EXPECT_FALSE(v->SelectionTimerActive());
    EXPECT_EQ(n.changes, 3);
    // Bounds persist across pictures.
    v->TakePixelGraphic(MakeTestPicture(pg8Bit, 10, 10));
    EXPECT_EQ(v->SelectionRect(), QRect(3, 29, 5, 1));
}

TEST(TPGImageSelection, FrameFollowsTheStripeFormulaAndPhase) {
    auto v = MakeView(200, 200, 50, 50);
    v->SetStretch(sZoomKAR);
    v->SetZoomFactor(2);
    v->SetActionMode(amMoveSelection);
    v->SetSelectionBounds(10, 10, 10, 10);
    v->SetSelection(true);
    EXPECT_EQ(v->SelectionBoxRect(), QRect(20, 20, 20, 20));
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        if (round == 1) v->AnimateSelection();
        if (round == 2) v->SetSelectionColor1(QColor(0, 255, 0));
        // The paint box sits at the client area's origin.
        ASSERT_EQ(v->PicBox()->pos(), QPoint(0, 0));
        const QImage img = v->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // With TAV_VIEW_SHOTS set to a folder, the grabs are kept there.
        if (const QByteArray keep = qgetenv("TAV_VIEW_SHOTS"); !keep.isEmpty())
            img.save(QString("%1/selection%2.png").arg(QString::fromLocal8Bit(keep)).arg(round));
        const int i = PGStripeIndex(v->SelectionPhase(), 20, 20);
        const QRgb c1 = v->SelectionColor1().rgb() & 0xFFFFFF, c2 = 0xFF0000;
        // Framed from paint-box pixel 19 to 40.
        for (int t = 19; t <= 40; ++t)
            for (QPoint p : {QPoint(t, 19), QPoint(t, 40), QPoint(19, t), QPoint(40, t)})
                ASSERT_EQ(img.pixel(p) & 0xFFFFFF, PGStripeIsColor2(i, p.x(), p.y()) ? c2 : c1)
                    << p.x() << "," << p.y();
        // Inside and outside the frame: the picture.
        EXPECT_EQ(img.pixel(21, 21) & 0xFFFFFF,
                  ShownColor(*v->CurrentPixelGraphic(), 10, 10) & 0xFFFFFF);
        EXPECT_EQ(img.pixel(18, 30) & 0xFFFFFF,
                  ShownColor(*v->CurrentPixelGraphic(), 9, 15) & 0xFFFFFF);
    }
}

TEST(TPGImageSelection, HandlesAreFramedOnlyWhenTheyCanBeDragged) {
    auto v = MakeView(200, 200, 50, 50);
    v->SetStretch(sZoomKAR);
    v->SetZoomFactor(2);
    v->SetSelectionBounds(10, 10, 10, 10);
    v->SetSelection(true);
    const TPixelGraphic& pic = *v->CurrentPixelGraphic();
    for (TActionMode m : {amMoveSelection, amMoveResizeCreateSelection}) {
        SCOPED_TRACE(int(m));
        v->SetActionMode(m);
        const QImage img = v->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const int i = PGStripeIndex(v->SelectionPhase(), 20, 20);
        // The top-left handle square is [12, 17) x [12, 17); its middle
        // always shows the picture.
        for (QPoint p : {QPoint(12, 12), QPoint(16, 14), QPoint(14, 16)}) {
            const QRgb frame = PGStripeIsColor2(i, p.x(), p.y()) ? 0xFF0000 : 0xFFFFFF;
            const QRgb under = ShownColor(pic, p.x() / 2, p.y() / 2) & 0xFFFFFF;
            EXPECT_EQ(img.pixel(p) & 0xFFFFFF, m == amMoveSelection ? under : frame);
        }
        EXPECT_EQ(img.pixel(14, 14) & 0xFFFFFF, ShownColor(pic, 7, 7) & 0xFFFFFF);
    }
}

TEST(TPGImageSelection, PanKeepsTheGrabbedPointAndAutoScrollFollows) {
    auto v = MakeView(100, 100, 400, 400);
    v->SetActionMode(amMoveImage);
    Press(*v, QPoint(50, 50));
    EXPECT_EQ(v->DragState(), 1);
    Move(*v, QPoint(20, 30));
    EXPECT_EQ(v->horizontalScrollBar()->value(), 30);
    EXPECT_EQ(v->verticalScrollBar()->value(), 20);
    Release(*v, QPoint(50, 50));
    // Creating with the pointer resting below the view: each step scrolls
    // 5 pixels and the edge follows.
    v->SetActionMode(amCreateSelection);
    const QPoint at = v->PicBox()->mapFromParent(QPoint(10, 10));
    Press(*v, at);
    const QPoint below = v->PicBox()->mapFromParent(QPoint(10, v->viewport()->height() + 20));
    Move(*v, below);
    const int h0 = v->SelectionHeight();
    const int v0 = v->verticalScrollBar()->value();
    v->AutoScrollStep();
    EXPECT_EQ(v->verticalScrollBar()->value(), v0 + 5);
    EXPECT_EQ(v->SelectionHeight(), h0 + 5);
    Release(*v, below);
}

TEST(TPGImageSelection, ALostGrabEndsTheDragAsMouseUpWould) {
    auto v = MakeView(100, 100, 400, 400);
    TCounts n;
    n.Attach(*v);
    v->SetActionMode(amCreateSelection);
    Press(*v, QPoint(10, 10));
    Move(*v, QPoint(30, 30));
    ASSERT_TRUE(v->AutoScrollTimerActive());
    v->hide();
    EXPECT_EQ(v->DragState(), 0);
    EXPECT_FALSE(v->AutoScrollTimerActive());
    EXPECT_EQ(n.made, 1);
    QTest::mouseRelease(v->PicBox(), Qt::LeftButton, {}, QPoint(30, 30));
    // A move that arrives without the button held ends a drag too.
    v->show();
    Press(*v, QPoint(10, 10));
    QMouseEvent moved(QEvent::MouseMove, QPointF(40, 40), QPointF(40, 40), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(v->PicBox(), &moved);
    EXPECT_EQ(v->DragState(), 0);
    EXPECT_EQ(n.made, 2);
    QTest::mouseRelease(v->PicBox(), Qt::LeftButton, {}, QPoint(40, 40));
}

TEST(TPGImageSelection, CursorPerPosition) {
    auto v = MakeView(200, 200, 100, 100);
    v->SetActionMode(amMoveResizeCreateSelection);
    v->SetSelectionBounds(20, 20, 20, 20);
    v->SetSelection(true);
    int asked = 0;
    v->PicBoxOnSetCursor() = [&](TObject*, QCursor&) { ++asked; };
    auto hover = [&](QPoint p) {
        QMouseEvent e(QEvent::MouseMove, QPointF(p), QPointF(p), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
        QApplication::sendEvent(v->PicBox(), &e);
        return v->PicBox()->cursor();
    };
    EXPECT_EQ(hover(QPoint(30, 30)).hotSpot(), PGMoveSelectionCursor().hotSpot());
    EXPECT_EQ(hover(QPoint(70, 70)).hotSpot(), PGCreateSelectionCursor().hotSpot());
    EXPECT_EQ(hover(QPoint(30, 14)).shape(), Qt::SizeVerCursor);
    EXPECT_EQ(hover(QPoint(14, 30)).shape(), Qt::SizeHorCursor);
    EXPECT_EQ(hover(QPoint(45, 45)).shape(), Qt::SizeFDiagCursor);
    EXPECT_EQ(hover(QPoint(45, 14)).shape(), Qt::SizeBDiagCursor);
    EXPECT_EQ(asked, 6);
    // The user's handler has the last word.
    v->PicBoxOnSetCursor() = [](TObject*, QCursor& c) { c = QCursor(Qt::IBeamCursor); };
    EXPECT_EQ(hover(QPoint(30, 30)).shape(), Qt::IBeamCursor);
}

} // namespace
