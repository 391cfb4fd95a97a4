#pragma once
// Printing a picture on one page of the program's printer: as large as the
// page allows, centred across the other direction, keeping the aspect ratio
// on devices whose pixels are not square.

#include <QRect>
#include <functional>

#include "core/pixelgraphic.h"

class QPrinter;
class QWidget;

// The program's printer (created on first use); print settings made in
// dialogs stay with it for the whole run.
QPrinter& PGPrinter();

// Asks the user to confirm and set up a print job on `printer`; false when
// cancelled. Replaceable so tests (and the program's prompts service) answer.
using TPGPrintDialogHandler = std::function<bool(QPrinter& printer, QWidget* owner)>;
extern TPGPrintDialogHandler PGPrintDialogHandler;

// Where a width x height picture goes on a page of pw x ph device pixels
// whose pixel aspect is ax : ay (relative pixel width : height).
QRect PGPrintRect(int width, int height, int pw, int ph, int ax, int ay);

// The job title: application title + " Graphic " + WxHxColours.
std::string PGPrintTitle(const TPixelGraphic& picture);

// Prints the picture on one page. With `showDialog` the print dialog comes
// first (cancel prints nothing); with `chooseOrientation` a picture wider than
// high goes landscape and one higher than wide portrait; a square picture
// keeps the printer's orientation, which is restored afterwards in any case.
void Print(const TPixelGraphic& picture, bool showDialog, bool chooseOrientation,
           QWidget* owner = nullptr);
