#pragma once
// Paintbrush (PCX) files: reader only.

#include "core/registry.h"

class TPCXFileFormatReader : public TFileFormatReader {
public:
    TPCXFileFormatReader() : TFileFormatReader("pcx", "Paintbrush", true) {}
    std::string ClassName() const override { return "TPCXFileFormatReader"; }
    bool CheckSignature(const uint8_t* header, int size) override;
    void Read(TStream& stream, TPixelGraphic& picture, int imageIndex) override;
    void GetInfo(TStream& stream, int imageIndex, TPGImageInfo& info) override;
};

