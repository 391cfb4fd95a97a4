#pragma once
// The GIF block walker shared by the reader's Read and GetInfo: it counts the
// pictures of a file, collects what the extensions say, and decodes one
// chosen picture. Every read is checked against the buffer; a block that
// passes the end of the data ends the walk.

#include <cstdint>
#include <string>
#include <vector>

#include "core/types.h"

class TPixelGraphic;

struct TGifParseResult {
    bool IsGif = false;
    std::string Version; // "87a" or "89a"
    int ScreenWidth = 0;
    int ScreenHeight = 0;
    int ImageCount = 0;
    int Bits = 0; // largest colour-table bit count seen
    bool AnyInterlaced = false;
    bool AnyTransparent = false;
    int LoopCount = 1;
    std::string Comment;
    // The target picture (index `target`), when it was reached.
    bool TargetFound = false;
    int TargetWidth = 0;
    int TargetHeight = 0;
    int64_t PixelsDecoded = 0; // pixels of the target written to the picture
    bool Aborted = false;
};

// Walks the GIF in `data`. With a picture, the image number `target`
// (0-based) is decoded into it and the walk ends after it; without one the
// whole file is walked. `sender` is passed to the progress events.
TGifParseResult ParseGif(const uint8_t* data, size_t size, int target, TPixelGraphic* picture,
                         TObject* sender);
