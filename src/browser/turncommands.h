#pragma once
// "Rotate Left", "Rotate Right", "Flip Horizontal", "Flip Vertical" and
// "Apply EXIF Orientation" on the browser's selected files: JPEG files are
// turned on their stored blocks (nothing re-encoded, every marker kept),
// other formats are decoded, turned and saved in their own format. Each file
// is replaced only once its new version is complete; a read-only file, a
// format without a writer or a file of several pictures is left as it is and
// named.

#include <string>

#include "browser/commandids.h"

class TForm1;

enum class TFileTurn { RotateLeft, RotateRight, FlipHorizontal, FlipVertical, ApplyExifOrientation };

// The commands' captions in TFileTurn order, for the Edit menu and the
// list's pop-up menu.
inline constexpr const char* kTurnCommandCaptions[] = {"Rotate Left", "Rotate Right", "Flip Horizontal",
                                                       "Flip Vertical", "Apply EXIF Orientation"};
// The commands in TFileTurn order, in the Edit menu and the list's pop-up.
inline constexpr TCommandId kTurnCommands[] = {TCommandId::RotateLeft, TCommandId::RotateRight,
                                               TCommandId::FlipHorizontal, TCommandId::FlipVertical,
                                               TCommandId::ApplyExifOrientation};

struct TTurnFileResult {
    enum TOutcome { Turned, Unchanged, Failed } outcome = Failed;
    // A JPEG turn refused because the picture is not a whole number of
    // blocks; it can be done by trimming the partial edge blocks.
    bool needsTrim = false;
    std::string message; // why it failed
};

// Turns the file `path` in place. `trim` lets a JPEG turn drop the partial
// edge blocks it cannot move exactly. Never raises.
TTurnFileResult TurnFile(const std::string& path, TFileTurn turn, bool trim);

// The command on the selected files of the main window: a progress window
// with Cancel (Esc) for several files, one question for the JPEG files that
// need trimming, one box naming the files left as they were; the preview,
// the list rows and the thumbnail cache follow the turned files.
void TurnSelectedFiles(TForm1* form, TFileTurn turn);

// Connects the commands of both menus and sets Ctrl+L / Ctrl+R.
void ConnectTurnCommands(TForm1* form);
