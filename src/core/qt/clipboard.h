#pragma once
// The clipboard. A picture goes there as a packed DIB: the 40-byte header
// (biClrUsed = PaletteCount), one blue-green-red-0 quad per palette entry and
// the store's bytes. On Qt the clipboard carries it as "image/bmp" (a BMP
// file: 14-byte file header + packed DIB) together with a plain image for
// other programs; pasting prefers "image/bmp".

#include <cstdint>
#include <vector>

#include "core/pixelgraphic.h"

class QMimeData;

constexpr int CF_BITMAP = 2;
constexpr int CF_DIB = 8;

// The packed DIB of the picture (format CF_DIB).
std::vector<uint8_t> SaveToClipboardFormat(const TPixelGraphic& picture);

// A whole BMP file of the picture: file header + packed DIB.
std::vector<uint8_t> PGBmpFileFromPicture(const TPixelGraphic& picture);

// The clipboard contents for the picture ("image/bmp" and image data).
QMimeData* PGMimeDataFromPicture(const TPixelGraphic& picture);

// Puts the picture on the system clipboard.
void PGCopyToClipboard(const TPixelGraphic& picture);

// True when the clipboard holds something PGPasteFromClipboard can read.
bool PGClipboardHasPicture();
