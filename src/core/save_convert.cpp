#include "core/save_convert.h"

#include "core/optpalette.h"
#include "core/pixelgraphic.h"

std::unique_ptr<TPixelGraphic> ConvertForSave(TPixelGraphic& source, TPGColorResolution t) {
    // Default options: dithering on with the automatic error limit, so a
    // palette target is error-diffused. The source's progress handlers see
    // the conversion as well.
    auto tmp = std::make_unique<TPixelGraphic>();
    tmp->OnProgress = source.OnProgress;
    tmp->OnProgressStart = source.OnProgressStart;
    tmp->OnProgressEnd = source.OnProgressEnd;
    tmp->SetMetadata(source.Metadata());
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
