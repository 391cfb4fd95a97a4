#pragma once
// Starts the image library: fills the format registries with every built-in
// reader and writer. Every program, test and fuzz target calls it before
// loading or saving; calling it again does nothing.
void InitImageLibrary();
