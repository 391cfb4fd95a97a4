#pragma once
// The rules of the incremental rename, without widgets: a list of full paths
// gets one common name with a running, zero-padded number, each file keeping
// its folder and its extension. The window and `tavtool rename` both use
// them.
//
// A run is planned whole before anything moves: every line gets its new path
// and its number first; then the files are renamed one by one through
// RenameNoReplace, so a name that is taken (by a stranger or by another line
// not yet renamed) is never replaced. Lines are renamed in an order that lets
// a line take the old name of another line once that one has moved on
// (rerunning over "Trip_002", "Trip_001" works), and a failure half-way
// leaves every file under one of its two names.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

// Mark put before a line whose file could not be renamed.
inline constexpr const char* kIncRenameErrorMark = "ERROR * ";

// The Number edit's text read as the first number and its width ("0098" is
// 98 with 4 digits). None for an empty text or anything but 1 to 9 digits.
struct TRunningNumber {
    qint64 first = 0;
    int width = 0;
};
std::optional<TRunningNumber> ParseRunningNumber(const QString& text);

// n with at least `width` digits, zero-padded (the C format "%w.wd").
QString FormatRunningNumber(qint64 n, int width);

// True when `name` can be the common name: it must keep every file in its
// own folder, so "/" is refused (and NUL, which no file name can hold).
bool IsValidIncRenameName(const QString& name);

// The extension of a line as written ("IMG_7.jpg" -> ".jpg"), taken from the
// file name part only: a dot in a folder name is not an extension.
QString LineExtension(const QString& line);

// The new path of `line`: its folder + name + "_" + number + its extension.
// Empty for a line that is not an absolute path (an "ERROR * " line, say):
// such a line names no file we could find without guessing a folder.
QString IncRenameTarget(const QString& line, const QString& name, qint64 number, int width);

// One line of a run.
struct TIncRenameStep {
    QString line;   // as it stood before the run
    QString target; // new path; empty when the line names no file
    int error = 0;  // errno of the failure after the run (EINVAL: no file named)
    bool done = false;
    // What the list shows after the run: the new path, or the mark + the old line.
    QString Result() const;
};

// Plans a run over `lines` (numbers in list order, from `first`).
std::vector<TIncRenameStep> PlanIncRename(const QStringList& lines, const QString& name,
                                          TRunningNumber number);

// How one file is renamed: 0 or an errno value (RenameNoReplace; tests put
// in failures).
using TRenameFn = std::function<int(const QString& from, const QString& to)>;
int RenameFileNoReplace(const QString& from, const QString& to);

// Renames the planned lines and fills in each step's outcome. A line whose
// target is the file itself is done without touching it.
void RunIncRename(std::vector<TIncRenameStep>& steps, const TRenameFn& rename = {});

// Fills in each step's outcome exactly as RunIncRename would, without
// touching a file: the renames are played on a picture of the folders (what
// exists now, less what moved away, plus what arrived).
void DryRunIncRename(std::vector<TIncRenameStep>& steps);

// Natural order of names, as file managers sort: case-insensitive, and runs
// of digits compared as numbers ("pic 2" before "pic 10").
bool NaturalLess(const QString& a, const QString& b);

// The list after a run.
QStringList IncRenameResults(const std::vector<TIncRenameStep>& steps);
