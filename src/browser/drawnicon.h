#pragma once
// Icons drawn by code at whatever size and device pixel ratio they are shown
// at, so toolbar glyphs stay sharp on scaled screens instead of being a
// small bitmap enlarged.

#include <QIcon>
#include <QSizeF>
#include <functional>

class QPainter;

// `draw` paints the icon into a square of `design` x `design` logical units
// (the painter is scaled to the size asked for). The disabled look is the
// style's, made from the drawn pixels.
QIcon DrawnIcon(std::function<void(QPainter&)> draw, int design = 24);
