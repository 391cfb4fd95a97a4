#pragma once
// One picture of an album: what the album file stores for it and what the
// album window, the page builder and web publishing work from.

#include <string>

struct TAlbumEntry {
    std::string path;    // the file's name as its bytes on disk
    std::string caption; // UTF-8
    int rotation = 0;    // quarter turns clockwise, 0..3
};
