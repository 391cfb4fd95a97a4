#pragma once
// The versions of the JPEG and PNG libraries the program runs with, read from
// the libraries at run time (a distribution update changes them without a
// rebuild), with the versions the program was built against.

#include <string>

struct TLibraryVersion {
    std::string name;    // "libjpeg-turbo", "libpng"
    std::string running; // the loaded library's own version ("2.1.5")
    std::string built;   // the headers' version at build time
};

TLibraryVersion JpegLibraryVersion();
TLibraryVersion PngLibraryVersion();

// Finds the "libjpeg-turbo version X" mark in a library image; empty when
// there is none. Exposed for its test.
std::string FindJpegTurboVersionMark(const std::string& bytes);
