#pragma once
// "Print Directory Listings": the file list as a table, page by page, with
// the folder as header and "Page n" at the bottom right.

#include <QString>

class QPainter;
class QPrinter;
class QTreeView;

// Sets the page up (portrait, margins) for the listing.
void SetUpListingPage(QPrinter* printer);

// Paints every page of `list` (its columns as shown, widths in proportion)
// onto `printer`, which must have been begun by the caller's painter.
void PaintListing(QPrinter* printer, const QString& folder, const QTreeView* list);
