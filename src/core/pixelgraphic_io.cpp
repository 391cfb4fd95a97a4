// Loading and saving a picture through the format registry.

#include <memory>

#include "core/exceptions.h"
#include "core/options.h"
#include "core/optpalette.h"
#include "core/pixelgraphic.h"
#include "core/prompts.h"
#include "core/registry.h"
#include "core/stream.h"

void TPixelGraphic::LoadFromFileIndex(const std::string& fileName, int imageIndex) {
    TFileStream f(fileName, TFileStream::OpenRead);
    LoadFromStreamExt(f, FileExtensionHint(fileName), imageIndex);
}

void TPixelGraphic::LoadFromStreamExt(TStream& stream, const std::string& extensionHint,
                                      int imageIndex) {
    FlushCanvas();
    TPGUpdateScope update(*this);
    SetFormat(0, 0, pg24Bit);
    SetGamma(DisplayGamma);
    TFileFormatReader* reader = FindReader(stream, extensionHint);
    if (!reader) throw EPGUnknownFileFormat(PGMessage(6));
    reader->Read(stream, *this, imageIndex);
    ApplyGammaCorrection();
    IdentifyPalette();
    update.Finish();
}

namespace {

// The picture a writer that cannot store the source's resolution gets: the
// source converted to `t`, dithered when a palette is the target.
std::unique_ptr<TPixelGraphic> ConvertForSave(TPixelGraphic& source, TPGColorResolution t) {
    auto tmp = std::make_unique<TPixelGraphic>();
    tmp->OnProgress = source.OnProgress;
    tmp->OnProgressStart = source.OnProgressStart;
    tmp->OnProgressEnd = source.OnProgressEnd;
    const int w = source.GetWidth(), h = source.GetHeight();
    switch (t) {
    case crBlackWhite:
        tmp->SetFormat(w, h, pg1Bit);
        tmp->SetPaletteIdent(pBlackWhite);
        break;
    case cr2Colors:
        tmp->SetFormat(w, h, pg1Bit);
        BuildOptimizedPalette(*tmp, source, 2, false);
        break;
    case cr16Grays:
        tmp->SetFormat(w, h, pg4Bit);
        tmp->SetPaletteIdent(pGray16);
        break;
    case cr16SysColors:
        tmp->SetFormat(w, h, pg4Bit);
        tmp->SetPaletteIdent(pSys16);
        break;
    case cr16Colors:
        tmp->SetFormat(w, h, pg4Bit);
        BuildOptimizedPalette(*tmp, source, 16, false);
        break;
    case cr256Grays:
        tmp->SetFormat(w, h, pg8Bit);
        tmp->SetPaletteIdent(pGray256);
        break;
    case cr256Colors:
        tmp->SetFormat(w, h, pg8Bit);
        BuildOptimizedPalette(*tmp, source, 252, true);
        break;
    case cr16M:
        tmp->SetFormat(w, h, pg24Bit);
        break;
    }
    tmp->CopyFrom(source);
    tmp->IdentifyPalette();
    return tmp;
}

// The save routine shared by SaveToFile and SaveToStreamExt: picks the writer,
// negotiates the colour resolution and writes to `out`.
void SaveThroughRegistry(TPixelGraphic& picture, TStream& out, const std::string& extension) {
    picture.FlushCanvas();
    std::string ext = extension;
    if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
    if (FileFormatWriters().empty())
        throw EPGFileFormatWritersEmpty(PGMessage(16, "FileFormatWriters"));
    TFileFormatWriter* writer = FindWriter(ext);
    if (!writer) throw EPGUnknownExtension(PGMessage(19, FileExtensionHint("." + ext)));
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
