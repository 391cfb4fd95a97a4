// Loading and saving a picture through the format registry.

#include <memory>

#include "core/colour.h"
#include "core/exceptions.h"
#include "core/options.h"
#include "core/pixelgraphic.h"
#include "core/prompts.h"
#include "core/registry.h"
#include "core/save_convert.h"
#include "core/stream.h"

void TPixelGraphic::LoadFromFileIndex(const std::string& fileName, int imageIndex) {
    TFileStream f(fileName, TFileStream::OpenRead);
    LoadFromStreamExt(f, FileExtensionHint(fileName), imageIndex);
}

void TPixelGraphic::LoadFromStreamExt(TStream& stream, const std::string& extensionHint,
                                      int imageIndex) {
    LoadThrough(stream, nullptr, extensionHint, imageIndex);
}

void TPixelGraphic::LoadFromStreamReader(TStream& stream, TFileFormatReader& reader,
                                         int imageIndex) {
    LoadThrough(stream, &reader, {}, imageIndex);
}

void TPixelGraphic::LoadThrough(TStream& stream, TFileFormatReader* reader,
                                const std::string& extensionHint, int imageIndex) {
    FlushCanvas();
    TPGUpdateScope update(*this);
    SetFormat(0, 0, pg24Bit);
    SetGamma(DisplayGamma);
    metadata_.Clear();
    if (!reader) reader = FindReader(stream, extensionHint);
    if (!reader) throw EPGUnknownFileFormat(PGMessage(6));
    reader->Read(stream, *this, imageIndex);
    ApplyGammaCorrection();
    IdentifyPalette();
    update.Finish();
}

namespace {

// The save routine shared by SaveToFile and SaveToStreamExt: picks the writer,
// negotiates the colour resolution and writes to `out`.
void SaveThroughRegistry(TPixelGraphic& source, TStream& out, const std::string& extension) {
    source.FlushCanvas();
    std::string ext = extension;
    if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
    if (FileFormatWriters().empty())
        throw EPGFileFormatWritersEmpty(PGMessage(16, "FileFormatWriters"));
    TFileFormatWriter* writer = FindWriter(ext);
    if (!writer) throw EPGUnknownExtension(PGMessage(19, FileExtensionHint("." + ext)));
    // A format that cannot say what the numbers mean gets them in sRGB, what
    // every reader takes an untagged file for; the picture itself stays.
    std::unique_ptr<TPixelGraphic> srgb;
    if (!writer->WritesICCProfile() && PGNeedsColourConversion(source, TPGColourTarget::sRGB)) {
        srgb = std::make_unique<TPixelGraphic>();
        srgb->Assign(&source);
        PGConvertColours(*srgb, TPGColourTarget::sRGB);
    }
    TPixelGraphic& picture = srgb ? *srgb : source;
    picture.IdentifyPalette();
    const TPGColorResolution b = ColorResolutionOf(picture);
    const TPGColorResolution t = SaveResolutionFor(b, *writer);
    if (t == b) {
        picture.IdentifyPalette();
        writer->Write(out, picture);
        return;
    }
    const std::string warning =
        PGMessage(17, writer->Description, ColorResolutionText(b), ColorResolutionText(t));
    bool abort = false;
    switch (picture.SaveColorResWarningAction()) {
    case pgwaIgnore:
        break;
    case pgwaOKBox:
        PGMessageBox(warning, PGMessage(28), TPGBoxButtons::OK);
        break;
    case pgwaOKCancelBox:
        abort = PGMessageBox(warning, PGMessage(28), TPGBoxButtons::OKCancel) != TPGBoxResult::OK;
        break;
    default:
        abort = true;
        break;
    }
    if (abort)
        throw EPGCannotWriteColorRes(PGMessage(18, writer->Description, ColorResolutionText(b)));
    std::unique_ptr<TPixelGraphic> converted = ConvertForSave(picture, t);
    writer->Write(out, *converted);
}

} // namespace

void TPixelGraphic::SaveToFile(const std::string& fileName) {
    // The file is written beside its target and renamed over it only once
    // complete: a failed save leaves an existing file untouched and no new one.
    const std::string ext = FileExtensionHint(fileName);
    if (FileFormatWriters().empty() || !FindWriter(ext)) {
        // Report the missing writer before anything touches the folder.
        TMemoryStream none;
        SaveThroughRegistry(*this, none, ext);
    }
    TSafeFileStream out(fileName);
    SaveThroughRegistry(*this, out, ext);
    out.Commit();
}

void TPixelGraphic::SaveToStreamExt(TStream& stream, const std::string& extension) {
    SaveThroughRegistry(*this, stream, extension);
}

void TPixelGraphic::SaveToStream(TStream& stream) {
    // Stream persistence is always a BMP of the picture as it is: the BMP
    // writer stores every colour resolution.
    TFileFormatWriter* bmp = FindWriter("bmp");
    if (!bmp) throw EPGUnknownExtension(PGMessage(19, "bmp"));
    FlushCanvas();
    bmp->Write(stream, *this);
}
