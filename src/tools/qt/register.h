#pragma once
// Registers the tools folder's windows with the tool-window registry; the
// program calls it once at start, before the windows are created.
void RegisterToolsWindows();
