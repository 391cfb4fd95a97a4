#include "formats/libversions.h"

#include <cstdio>
#include <dlfcn.h>
#include <sys/stat.h>

#include <jerror.h>
#include <jpeglib.h>
#include <png.h>

#define TAV_STR2(x) #x
#define TAV_STR(x) TAV_STR2(x)

namespace {

// libjpeg's API has no call that tells its version (its message table only
// names the libjpeg release it emulates), but libjpeg-turbo carries its
// version as a text mark in the library file. Read the file that is really
// loaded, bounded: it is a system library, still only a file.
std::string ReadLoadedJpegLibrary() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&jpeg_std_error), &info) || !info.dli_fname) return {};
    struct stat st {};
    if (stat(info.dli_fname, &st) != 0 || !S_ISREG(st.st_mode)) return {};
    constexpr off_t kMaxLibrary = 32 << 20;
    if (st.st_size <= 0 || st.st_size > kMaxLibrary) return {};
    std::FILE* f = std::fopen(info.dli_fname, "rb");
    if (!f) return {};
    std::string bytes(size_t(st.st_size), '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
    return bytes;
}

} // namespace

std::string FindJpegTurboVersionMark(const std::string& bytes) {
    static const std::string mark = "libjpeg-turbo version ";
    const size_t at = bytes.find(mark);
    if (at == std::string::npos) return {};
    std::string v;
    for (size_t i = at + mark.size(); i < bytes.size() && v.size() < 32; ++i) {
        const char c = bytes[i];
        if ((c >= '0' && c <= '9') || c == '.')
            v += c;
        else
            break;
    }
    return v;
}

TLibraryVersion JpegLibraryVersion() {
    TLibraryVersion v;
#ifdef LIBJPEG_TURBO_VERSION
    v.name = "libjpeg-turbo";
    v.built = TAV_STR(LIBJPEG_TURBO_VERSION);
#else
    v.name = "libjpeg";
    v.built = std::to_string(JPEG_LIB_VERSION / 10) + char('a' + JPEG_LIB_VERSION % 10 - 1);
#endif
    v.running = FindJpegTurboVersionMark(ReadLoadedJpegLibrary());
    if (v.running.empty()) {
        // Not libjpeg-turbo at run time: name the libjpeg release its
        // message table says it is.
        jpeg_error_mgr err{};
        jpeg_std_error(&err);
        if (err.jpeg_message_table && err.last_jpeg_message >= JMSG_VERSION)
            v.running = std::string("libjpeg ") + err.jpeg_message_table[JMSG_VERSION];
    }
    return v;
}

TLibraryVersion PngLibraryVersion() {
    TLibraryVersion v;
    v.name = "libpng";
    const char* running = png_get_libpng_ver(nullptr);
    v.running = running ? running : "";
    v.built = PNG_LIBPNG_VER_STRING;
    return v;
}
