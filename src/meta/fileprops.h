#pragma once
// The facts the image properties dialog shows for one file, worked out
// without widgets: the file's date and size, the format registry's picture
// facts, and whether the small preview may load the picture.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/pixelgraphic.h"

// Files from this size on are not loaded into the preview.
constexpr int64_t kFilePropPreviewLimit = 6145024;

struct TFileProperties {
    QString FileName;
    bool Found = false;      // a regular file on disk
    QString FileDate;        // empty when not found
    QString FileSize;        // "10K"; empty when not found
    bool Recognised = false; // a reader knows the file and told its facts
    QString Type, SubType, Options, Colors;
    int Width = 0, Height = 0, BitsPerPixel = 0, GraphicCount = 0;
    bool ShowPreview = false;
};

// Works the facts out. Only a regular file is opened: a pipe, device or
// folder gives the facts of a missing file.
TFileProperties FileProperties(const QString& fileName);

// The row captions top to bottom, and the value texts in the same order.
const QStringList& FilePropertyCaptions();
QStringList FilePropertyValues(const TFileProperties& p);

// The date as the dialog shows it: the system's short date, then " h:mm AM".
QString FilePropDateText(const QDateTime& t);
// Size div 1024 + 1, then "K".
QString FilePropSizeText(int64_t bytes);

// The dialog's background: one colour per column from RGB 140, 0, 0 at the
// left edge towards black, each channel start + x * (end - start) / width
// with the quotient cut toward zero.
TRGB FilePropGradientColor(int x, int width);
void PaintFilePropBackground(TPixelGraphic& picture, int width, int height);
