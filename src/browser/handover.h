#pragma once
// What the main window hands a tool window when one of its commands opens
// it: the listed folder and the selected files (full paths, possibly none).
// Tool windows that take something implement this; the main window finds
// the tool with ToolWindows()->Find(className) and casts.

#include <QString>
#include <QStringList>

class TToolHandOver {
  public:
    virtual ~TToolHandOver() = default;
    virtual void TakeHandOver(const QString& folder, const QStringList& files) = 0;
};
