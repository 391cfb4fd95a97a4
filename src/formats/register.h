#pragma once
// Registration functions of the format units, called once by InitImageLibrary.
// Each registers its readers and writers (RegisterFileFormatReader/Writer).

void RegisterBMPFormats();
void RegisterGIFFormats();
void RegisterIconFormats();
void RegisterJPEGFormats();
void RegisterPNGFormats();
void RegisterPCXFormats();
void RegisterTGAFormats();
void RegisterPxMFormats();
void RegisterTIFFFormats();
void RegisterWebPFormats();
void RegisterAVIFFormats();
void RegisterHEIFFormats();
void RegisterJXLFormats();
