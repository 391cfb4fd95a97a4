#pragma once
// Registration functions of the format units, called once by InitImageLibrary.
// Each adds its readers to FileFormatReaders() and its writers to FileFormatWriters().

void RegisterBMPFormats();
void RegisterGIFFormats();
void RegisterIconFormats();
void RegisterJPEGFormats();
void RegisterPNGFormats();
void RegisterPCXFormats();
void RegisterTGAFormats();
void RegisterPxMFormats();
void RegisterTIFFFormats();
