#pragma once
// The main window's commands on the selected file and the listed folder
// that are not tools: wallpaper, copy to clipboard, the external editor,
// page setup and the printed listing. Connected once by the main window.

class TForm1;

void ConnectFileCommands(TForm1* form);

// "Copy to clipboard": the picture the preview shows (a GIF's current
// frame); nothing for a clip. False when there was nothing to copy.
bool CopyPreviewToClipboard(TForm1* form);
