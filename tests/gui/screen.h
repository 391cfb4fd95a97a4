#pragma once
// Reading the test X server's screen: a screenshot of the root window and
// the preview pane found by its own colour.

#include <QColor>
#include <QImage>
#include <QRect>
#include <algorithm>
#include <cstdlib>
#include <xcb/xcb.h>

namespace xtest {

inline QImage Screenshot(xcb_connection_t* c) {
    const xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    auto* r = xcb_get_image_reply(c,
                                  xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, s->root, 0, 0,
                                                s->width_in_pixels, s->height_in_pixels, ~0u),
                                  nullptr);
    if (!r) return {};
    // 24-bit depth comes as 32-bit pixels, blue first.
    QImage img(xcb_get_image_data(r), s->width_in_pixels, s->height_in_pixels,
               QImage::Format_RGB32);
    QImage copy = img.copy();
    std::free(r);
    return copy;
}

// The pane of colour `pane`: the largest run of it on the middle screen row,
// widened to the rectangle of that colour around it.
inline QRect FindPane(const QImage& s, const QColor& pane) {
    const int y = s.height() / 2;
    int bestX = -1, bestLen = 0;
    for (int x = 0; x < s.width();) {
        int len = 0;
        while (x + len < s.width() && s.pixelColor(x + len, y) == pane)
            ++len;
        if (len > bestLen) bestLen = len, bestX = x;
        x += std::max(len, 1);
    }
    if (bestLen < 50) return {};
    const int x = bestX + bestLen - 1; // the right edge is never covered by a picture
    int top = y, bottom = y;
    while (top > 0 && s.pixelColor(x, top - 1) == pane)
        --top;
    while (bottom + 1 < s.height() && s.pixelColor(x, bottom + 1) == pane)
        ++bottom;
    // The left edge: the first pane pixel on the bottom row, below any picture.
    int left = x;
    while (left > 0 && s.pixelColor(left - 1, bottom) == pane)
        --left;
    return QRect(QPoint(left, top), QPoint(x, bottom));
}

} // namespace xtest
