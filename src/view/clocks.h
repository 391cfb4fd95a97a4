#pragma once
// The progress clocks the view control shows while it prepares a picture for
// display: a face with an hour hand for the step and a minute hand for the
// percentage of the step.

#include <QColor>
#include <QRect>

class QPainter;

// Hand end points of a clock whose face starts at (x, y): the hour hand for
// step s (1-based) at percentage p, and the minute hand.
struct TPGClockHands {
    QPoint centre, hour, minute;
};
TPGClockHands PGClockHands(int x, int y, int step, int percent);

// Draws the centre clock (P wider and higher than 20) and, with `fiveClocks`
// and P at least 101 square, the four corner clocks.
void PGDrawProgressClocks(QPainter& p, const QRect& P, int step, int percent, bool fiveClocks,
                          const QColor& face, const QColor& line);
