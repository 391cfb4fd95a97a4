#include "formats/library.h"

#include "formats/register.h"

void InitImageLibrary() {
    static const bool done = [] {
        // One line per format unit; the registries sort themselves by extension.
        RegisterBMPFormats();
        RegisterGIFFormats();
        RegisterIconFormats();
        RegisterJPEGFormats();
        RegisterPNGFormats();
        RegisterPCXFormats();
        RegisterTGAFormats();
        RegisterPxMFormats();
        RegisterTIFFFormats();
        return true;
    }();
    (void)done;
}
