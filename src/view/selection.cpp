#include "view/selection.h"

#include <algorithm>
#include <cstdlib>

TPGSquare PGHandleSquare(const TPGSelBox& b, int h) {
    const int64_t MX = (b.L + b.R) / 2, MY = (b.T + b.B) / 2;
    const int col = h == 0 || h == 3 || h == 5 ? 0 : h == 1 || h == 6 ? 1 : 2;
    const int row = h <= 2 ? 0 : h <= 4 ? 1 : 2;
    TPGSquare s{};
    if (col == 0) s.x0 = b.L - 8, s.x1 = b.L - 3;
    if (col == 1) s.x0 = MX - 2, s.x1 = MX + 3;
    if (col == 2) s.x0 = b.R + 3, s.x1 = b.R + 8;
    if (row == 0) s.y0 = b.T - 8, s.y1 = b.T - 3;
    if (row == 1) s.y0 = MY - 2, s.y1 = MY + 3;
    if (row == 2) s.y0 = b.B + 3, s.y1 = b.B + 8;
    return s;
}

int PGHandleAt(const TPGSelBox& b, const QPoint& p) {
    for (int h = 0; h < 8; ++h)
        if (PGHandleSquare(b, h).Contains(p.x(), p.y())) return h;
    return -1;
}

QRect PGClipRect(int64_t x0, int64_t y0, int64_t x1, int64_t y1, const QRect& clip) {
    const int64_t cx0 = clip.x(), cy0 = clip.y();
    const int64_t cx1 = cx0 + clip.width(), cy1 = cy0 + clip.height();
    x0 = std::max(x0, cx0);
    y0 = std::max(y0, cy0);
    x1 = std::min(x1, cx1);
    y1 = std::min(y1, cy1);
    if (x0 >= x1 || y0 >= y1) return QRect();
    return QRect(int(x0), int(y0), int(x1 - x0), int(y1 - y0));
}

std::array<QRect, 4> PGSelectionStrips(const TPGSelBox& b, int e, const QRect& clip) {
    return {PGClipRect(b.L - e, b.T - e, b.L, b.B + e, clip),
            PGClipRect(b.L - e, b.T - e, b.R + e, b.T, clip),
            PGClipRect(b.R, b.T - e, b.R + e, b.B + e, clip),
            PGClipRect(b.L - e, b.B, b.R + e, b.B + e, clip)};
}

QImage PGStripePattern(const QColor& c1, const QColor& c2, int i) {
    QImage img(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            img.setPixel(x, y, ((x + y - i + 8) % 8 >= 4 ? c2 : c1).rgb());
    return img;
}

int PGStripeIndex(int phase, int64_t L, int64_t T) {
    return int((((phase + L + T) % 8) + 8) % 8);
}

QPoint PGHandleOffset(int state, const TPGSelBounds& s, const QPoint& q) {
    const int h = state - dsTopLeft;
    const bool left = h == 0 || h == 3 || h == 5, right = h == 2 || h == 4 || h == 7;
    const bool top = h <= 2, bottom = h >= 5;
    const int ox = left ? q.x() - s.left : right ? q.x() - s.width : 0;
    const int oy = top ? q.y() - s.top : bottom ? q.y() - s.height : 0;
    return QPoint(ox, oy);
}

TPGSelBounds PGDragRule(int state, const TPGSelBounds& s, QPoint q, const QPoint& offset,
                        const QPoint& anchor, int W, int H) {
    TPGSelBounds n = s;
    if (state == dsMove) {
        // At least one pixel of the selection stays over the picture.
        n.top = int(std::min<int64_t>(
            std::max<int64_t>(int64_t(q.y()) - offset.y(), 1 - int64_t(s.height)), int64_t(H) - 1));
        n.left = int(std::min<int64_t>(
            std::max<int64_t>(int64_t(q.x()) - offset.x(), 1 - int64_t(s.width)), int64_t(W) - 1));
        return n;
    }
    if (state < dsCreate || state > dsBottomRight) return n;
    // Creating and resizing follow the pointer only as far as the picture
    // goes: the grab keeps moves coming from anywhere on the screen.
    if (state == dsCreate) {
        // A drag spans the pixels from the anchor up to the pointer, the
        // pointer's own excluded, so a drag of 400 x 300 screen pixels at 1:1
        // selects 400 x 300 (a click still selects the one pixel).
        q.setX(std::clamp(q.x(), 0, std::max(W, 0)));
        q.setY(std::clamp(q.y(), 0, std::max(H, 0)));
        n.left = std::min(q.x(), anchor.x());
        n.top = std::min(q.y(), anchor.y());
        n.width = std::max(std::abs(q.x() - anchor.x()), 1);
        n.height = std::max(std::abs(q.y() - anchor.y()), 1);
        return n;
    }
    q.setX(std::clamp(q.x(), 0, std::max(W - 1, 0)));
    q.setY(std::clamp(q.y(), 0, std::max(H - 1, 0)));
    const int h = state - dsTopLeft;
    const bool left = h == 0 || h == 3 || h == 5, right = h == 2 || h == 4 || h == 7;
    const bool top = h <= 2, bottom = h >= 5;
    auto clampInt = [](int64_t v) { return int(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    if (left) {
        const int64_t nl =
            std::min<int64_t>(int64_t(q.x()) - offset.x(), int64_t(s.left) + s.width - 1);
        n.width = clampInt(int64_t(s.width) + s.left - nl);
        n.left = clampInt(nl);
    }
    if (top) {
        const int64_t nt =
            std::min<int64_t>(int64_t(q.y()) - offset.y(), int64_t(s.top) + s.height - 1);
        n.height = clampInt(int64_t(s.height) + s.top - nt);
        n.top = clampInt(nt);
    }
    if (right) n.width = clampInt(std::max<int64_t>(int64_t(q.x()) - offset.x(), 1));
    if (bottom) n.height = clampInt(std::max<int64_t>(int64_t(q.y()) - offset.y(), 1));
    return n;
}

TPGCursorKind PGCursorFor(const TPGCursorInputs& in) {
    TPGCursorKind k = TPGCursorKind::Inherited;
    const TActionMode m = in.mode;
    if ((m == amMoveImage || m == amMoveSelectionMoveImage) && in.overflows)
        k = in.panning ? TPGCursorKind::Panning : TPGCursorKind::Pan;
    if (m == amMoveResizeCreateSelection || m == amCreateSelection)
        k = TPGCursorKind::CreateSelection;
    if ((m == amMoveResizeCreateSelection || m == amMoveSelection ||
         m == amMoveSelectionMoveImage) &&
        in.selection && in.inside)
        k = TPGCursorKind::MoveSelection;
    if (m == amMoveResizeCreateSelection && in.selection) {
        switch (in.handle) {
        case 1:
        case 6:
            k = TPGCursorKind::SizeVer;
            break;
        case 3:
        case 4:
            k = TPGCursorKind::SizeHor;
            break;
        case 0:
        case 7:
            k = TPGCursorKind::SizeFDiag;
            break;
        case 2:
        case 5:
            k = TPGCursorKind::SizeBDiag;
            break;
        default:
            break;
        }
    }
    return k;
}
