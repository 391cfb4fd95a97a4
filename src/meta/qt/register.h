#pragma once
// Registers the meta folder's windows with the tool-window registry; the
// program calls it once at start, before the windows are created.
void RegisterMetaWindows();
