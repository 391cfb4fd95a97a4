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

// The packed DIB of the picture (format CF_DIB). A palette picture always
// carries a colour table (its whole one when the palette is empty), since a
// count of 0 tells readers to expect every colour of the bit depth.
std::vector<uint8_t> SaveToClipboardFormat(TPixelGraphic& picture);

// Reads a packed DIB (CF_DIB; CF_BITMAP blocks are taken as packed DIBs too,
// there being no bitmap handles here) into the picture. Any other format or
// an empty block raises EPGUnknownClipboardFormat; bad data raises the BMP
// reader's error. Either way the picture is left as it was.
void LoadFromClipboardFormat(TPixelGraphic& picture, int format, const uint8_t* data, size_t size);

// A whole BMP file of the picture: file header + packed DIB.
std::vector<uint8_t> PGBmpFileFromPicture(TPixelGraphic& picture);

// The clipboard contents for the picture ("image/bmp" and image data).
QMimeData* PGMimeDataFromPicture(TPixelGraphic& picture);

// Puts the picture on the system clipboard.
void PGCopyToClipboard(TPixelGraphic& picture);

// True when the clipboard holds something PGPasteFromClipboard can read.
bool PGClipboardHasPicture();

// Replaces the picture with the clipboard's: "image/bmp" when present, else
// the clipboard's image. Raises EPGUnknownClipboardFormat when there is
// neither; a failure leaves the picture as it was.
void PGPasteFromClipboard(TPixelGraphic& picture);
void PGPasteFromMimeData(TPixelGraphic& picture, const QMimeData* mime);
