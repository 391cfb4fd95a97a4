// The album file reader on arbitrary bytes; whatever it accepts must write
// back and read again as the same album.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "album/file/albumfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    TAlbum album;
    if (!ParseAlbum(bytes, album)) return 0;
    std::string again;
    if (!SerializeAlbum(album, again)) std::abort();
    TAlbum second;
    if (!ParseAlbum(again, second) || !(second.header == album.header) ||
        second.entries != album.entries)
        std::abort();
    return 0;
}
