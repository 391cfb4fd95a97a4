#pragma once
// Restoring a window's place and its panes from stored numbers, which may be
// anything: a window is put inside the screen area available now (shrunk to
// fit, then moved in, the way Qt places windows), a splitter position inside
// its window. Plain arithmetic, tested without widgets; every window that
// restores its place uses it. Below it, the centring of a window on its
// screen when it first shows.

#include <QRect>
#include <QSize>

class QWidget;

// A rectangle from four stored numbers, each cut to a range no screen
// reaches (so the rectangle's own arithmetic cannot overflow).
QRect StoredWindowRect(long long left, long long top, long long width, long long height);

// `wanted` fitted into `available`: no larger than the area (and no smaller
// than `minimum` where the area allows), then moved so that it lies inside.
// An empty `available` (no screen) leaves the size capped by `fallbackMax`.
QRect FitWindowRect(const QRect& wanted, const QRect& available, QSize minimum = {100, 100},
                    QSize fallbackMax = {4096, 4096});

// The place of a window that has none saved: about 70 % of `available`
// each way (no smaller than `minimum` where the area allows), centred in it.
// An empty `available` gives `minimum` at the origin.
QRect FirstWindowRect(const QRect& available, QSize minimum);

// A stored splitter position (the first pane's size) inside a splitter of
// `total` pixels, leaving each pane at least its minimum.
int FitSplitterPos(int pos, int total, int minFirst = 20, int minSecond = 20);

// The available area of the screen that shows most of `r`, else the primary
// screen's; empty without screens. (Reads QGuiApplication.)
QRect AvailableAreaFor(const QRect& r);

// Puts `w` in the middle of the screen area available to it, shrunk first
// when it is larger than that area, so that the whole window and its title
// bar are on the screen.
void CentreOnScreen(QWidget* w);

// CentreOnScreen for a window's first showing: only the first call for a
// window does anything (later showings keep where the user put it). Tool
// windows call it from their showEvent.
void PlaceOnScreen(QWidget* w);
