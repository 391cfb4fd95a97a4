#pragma once
// The size arithmetic of the preview pane, free of widgets: fitting a
// picture to the pane keeping its aspect, and the small box a clip too big
// for the pane plays in. Sizes are never below 1 x 1, whatever the picture or
// the pane measure, so a broken file or a collapsed pane never divides by
// zero or hides the control by a zero size.

#include <QSize>
#include <cstdint>

// n / d rounded to the nearest integer, ties to the even one (d > 0, n >= 0).
int64_t RoundDivEven(int64_t n, int64_t d);

// The size a picture of `content` is shown at when fitted to `pane`: the
// control sits at (4, 4), so 4 pixels of margin stay on every side. An empty
// content gives an empty size (nothing to fit).
QSize FitToPaneSize(QSize content, QSize pane);

// The size a clip of `frame` plays at in `pane` before any fitting: its own
// size, or a box of 145 pixels on the longer side keeping the frame's
// aspect when it does not fit the pane less its margins.
QSize ClipBoxSize(QSize frame, QSize pane);

// The quick first look at a JPEG of `picture` size shown fitted at `fitted`:
// the reader's reduce hint (each side of the reduced picture at least this
// long) that picks the largest of 1/8, 1/4 and 1/2 still covering the fitted
// size; 0 when the fitted size is more than half the picture either way, and
// the whole picture is decoded at once.
int FirstLookReduce(QSize picture, QSize fitted);

// The load-size hint a metafile of nominal `picture` size is played with
// when shown at `shown` logical pixels on a screen of `pixelRatio` device
// pixels per logical one: the shown size's shorter side in device pixels
// (each side of the played picture at least this long, so nothing is
// enlarged on screen); 0 when that is no smaller than the picture itself,
// which is then played at its own size.
int MetafilePlayHint(QSize picture, QSize shown, double pixelRatio);
