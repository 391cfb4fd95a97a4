#pragma once
// Making one thumbnail: read the file (regular files only, shrunk on load
// when the reader can), scale it into its square by the explorer's geometry.
// Plain library code: the explorer's workers, the save loop and tavtool all
// run it, each with its own pictures.

#include <QImage>
#include <string>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "thumbs/thumbrules.h"

// A thumbnail-specific failure (not a regular file, nothing readable).
class EThumbnail : public Exception {
  public:
    explicit EThumbnail(const std::string& msg) : Exception(msg) {}
};

struct TThumbOptions {
    int size = 64;    // S
    bool fast = true; // FastRead + smFast (the grid); off: precise (saved files)
    int loadHint = 0; // shrink-on-load hint; 0 = full decode
    TRGB background = kThumbBackground;
    TPGWarningAction warnings = pgwaIgnore;
    bool cache = false; // the grid: go through the shared thumbnail cache
};

// Settles the format registries (they sort themselves on first lookup) on the
// calling thread, so worker threads that read and write pictures afterwards
// only ever read them.
void PrepareLibraryForWorkers();

// Throws EThumbnail unless `path` names a regular file (after links): a
// FIFO or device would block or never end.
void CheckRegularFile(const std::string& path);

// Reads `path` into `source` with the options' read settings. `fullW` x
// `fullH` receive the file's own size, also when the decoder shrank it, so
// the geometry stays exact at every hint.
void LoadThumbSource(const std::string& path, const TThumbOptions& o, TPixelGraphic& source,
                     int& fullW, int& fullH);

// Scales `source` (whose file measured fullW x fullH) into `square`: S x S,
// 24-bit, cleared to the background, the picture placed by ThumbPlace.
// `scaled` is the working picture, reused between calls.
void PlaceThumbnail(TPixelGraphic& source, int fullW, int fullH, const TThumbOptions& o,
                    TPixelGraphic& scaled, TPixelGraphic& square);

// The square for `path`; false when the file could not be read and the
// question-mark picture stands in for it.
bool MakeThumbnail(const std::string& path, const TThumbOptions& o, TPixelGraphic& square);

// The square of a file that could not be read: the question mark placed by
// the usual geometry.
void PlaceQuestionMark(const TThumbOptions& o, TPixelGraphic& square);

// The question-mark picture shown for unreadable files: 80 x 80, 256 colours,
// drawn in code (no text, so any thread may make it).
void QuestionMarkPicture(TPixelGraphic& picture);
