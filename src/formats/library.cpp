#include "formats/library.h"

#include "formats/register.h"

void InitImageLibrary() {
    static const bool done = [] {
        // One line per format unit; each format takes its place in extension
        // order as it is registered.
        RegisterBMPFormats();
        RegisterGIFFormats();
        RegisterIconFormats();
        RegisterJPEGFormats();
        RegisterPNGFormats();
        RegisterPCXFormats();
        RegisterTGAFormats();
        RegisterPxMFormats();
        RegisterTIFFFormats();
        RegisterWebPFormats();
        RegisterAVIFFormats();
        RegisterHEIFFormats();
        RegisterJXLFormats();
        return true;
    }();
    (void)done;
}
