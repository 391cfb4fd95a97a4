#pragma once
// The view control's own cursors, 32 x 32, drawn in code: an open hand over
// a picture that can be dragged (hot spot 16, 12), a closed hand while it is
// dragged (16, 12), a cross for drawing a selection (15, 15) and a four-way
// arrow for moving one (16, 15).

#include <QCursor>

const QCursor& PGPanCursor();
const QCursor& PGPanningCursor();
const QCursor& PGCreateSelectionCursor();
const QCursor& PGMoveSelectionCursor();
