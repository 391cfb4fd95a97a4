// The rows of the filter table: each name with its parameters in the units
// and ranges of its dialog, and how the editor applies it.

#include <climits>
#include <cmath>
#include <memory>

#include "core/pixelgraphic.h"
#include "processing/bevel.h"
#include "processing/colorfilters.h"
#include "processing/convfilter.h"
#include "processing/effects.h"
#include "processing/filterchain.h"
#include "processing/filtervalues.h"

namespace {

using TPicture = std::unique_ptr<TPixelGraphic>;

// Colour filters run in place: palette pictures change their palette only.
template <class F> TFilterStepFn InPlace(std::shared_ptr<F> f) {
    return [f](TPicture& p, TFilterChainContext&) { p->ApplyFilter(*f, *p); };
}

// Convolutions cannot run in place: the result is a new 24-bit picture.
TFilterStepFn IntoNew(std::shared_ptr<TConvFilter> f) {
    return [f](TPicture& p, TFilterChainContext&) {
        auto out = std::make_unique<TPixelGraphic>();
        out->SetFormat(0, 0, pg24Bit);
        out->ApplyFilter(*f, *p);
        p = std::move(out);
    };
}

TFilterStepFn ParseNegative(const TFilterParams& a) {
    a.Expect(0, 0);
    return InPlace(std::make_shared<TNegativeFilter>());
}

TFilterStepFn ParseGrey(const TFilterParams& a) {
    a.Expect(0, 1);
    auto f = std::make_shared<TGrayScaleFilter>();
    f->SetRGBWeighting(!(a.Has(0) && a.Word(0, "weighting", {"plain"}) == 0));
    return InPlace(f);
}

TFilterStepFn ParseBCG(const TFilterParams& a) {
    a.Expect(3, 4);
    const int b = a.Int(0, "brightness", -100, 100);
    const int c = FactorPosition(a.Number(1, "contrast", 0.2L, 5));
    const int g = FactorPosition(a.Number(2, "gamma", 0.2L, 5));
    const bool y = a.Has(3) && a.Word(3, "apply on", {"rgb", "y"}) == 1;
    auto f = std::make_shared<TBCGFilter>();
    SetBCGValues(*f, b, c, g, y);
    return InPlace(f);
}

template <class F>
TFilterStepFn ParsePercents(const TFilterParams& a, const char* n1, const char* n2,
                            const char* n3) {
    a.Expect(3, 3);
    auto f = std::make_shared<F>();
    SetPercentTables(*f, a.Int(0, n1, -100, 100), a.Int(1, n2, -100, 100), a.Int(2, n3, -100, 100));
    return InPlace(f);
}

template <class F> TFilterStepFn ParseHue(const TFilterParams& a, const char* n2, const char* n3) {
    a.Expect(3, 3);
    auto f = std::make_shared<F>();
    SetHueTables(*f, a.Int(0, "hue", -180, 180), a.Int(1, n2, -100, 100), a.Int(2, n3, -100, 100));
    return InPlace(f);
}

// SIGMA,PCT[,gauss|tent|rect[,nodist]] in the dialog's hundredths.
struct TDistArgs {
    long double sigma;
    int percent;
    TDistributionShape shape;
    bool useDistance;
};

TDistArgs DistArgs(const TFilterParams& a, int pMin, int pMax, TDistributionShape shape) {
    TDistArgs d;
    d.sigma = std::nearbyint(a.Number(0, "standard deviation", 0.40L, 1.30L) * 100) / 100;
    d.percent = a.Int(1, "strength", pMin, pMax);
    d.shape = shape;
    d.useDistance = true;
    return d;
}

enum class TRecipe { Sharpen, Detail, Smooth };

template <TRecipe R> TFilterStepFn ParseDistRecipe(const TFilterParams& a) {
    a.Expect(2, 4);
    TDistArgs d = DistArgs(a, 10, 100, dsGaussian);
    if (a.Has(2)) d.shape = TDistributionShape(a.Word(2, "shape", {"gauss", "tent", "rect"}));
    if (a.Has(3)) d.useDistance = a.Word(3, "distance", {"dist", "nodist"}) == 0;
    auto f = std::make_shared<TConvFilter>();
    try {
        if (R == TRecipe::Sharpen) f->MakeSharpen(d.shape, d.useDistance, d.percent, d.sigma);
        if (R == TRecipe::Detail) f->MakeDetail(d.shape, d.useDistance, d.percent, d.sigma);
        if (R == TRecipe::Smooth) f->MakeSmooth(d.shape, d.useDistance, d.percent, d.sigma);
    } catch (const std::exception& e) {
        a.Fail(e.what());
    }
    return IntoNew(f);
}

TFilterStepFn ParseContour(const TFilterParams& a) {
    a.Expect(3, 3);
    const TDistArgs d = DistArgs(a, 100, 1000, dsRect);
    const bool white = a.Word(2, "background", {"white", "black"}) == 0;
    auto f = std::make_shared<TConvFilter>();
    f->MakeContour(d.shape, d.useDistance, d.percent, d.sigma, white);
    return IntoNew(f);
}

TFilterStepFn ParseBlur(const TFilterParams& a) {
    a.Expect(2, 2);
    const long double radius = std::nearbyint(a.Number(0, "radius", 0.5L, 5) * 100) / 100;
    auto f = std::make_shared<TConvFilter>();
    f->MakeBlur(a.Int(1, "strength", 10, 100), radius);
    return IntoNew(f);
}

// conv=WxH:c,c,...[@OX,OY][*FACTOR][+BIAS]; without @ the kernel is centred.
TFilterStepFn ParseConv(const TFilterParams& a) {
    std::string t;
    for (size_t i = 0; i < a.Count(); ++i)
        t += (i ? "," : "") + a.Raw(i);
    const size_t colon = t.find(':');
    const size_t x = t.find('x');
    if (colon == std::string::npos || x == std::string::npos || x > colon)
        a.Fail("needs WxH:c,c,...[@OX,OY][*FACTOR][+BIAS]");
    int64_t w = 0, h = 0;
    if (!ParseIntText(t.substr(0, x), w) || !ParseIntText(t.substr(x + 1, colon - x - 1), h))
        a.Fail("kernel size must be WxH");
    if (w < 1 || w > TConvFilter::MaxSize)
        a.Fail("width " + std::to_string(w) + " out of range 1..99");
    if (h < 1 || h > TConvFilter::MaxSize)
        a.Fail("height " + std::to_string(h) + " out of range 1..99");
    std::string rest = t.substr(colon + 1);
    auto cut = [&](char mark) {
        const size_t p = rest.find(mark);
        if (p == std::string::npos) return std::string();
        std::string tail = rest.substr(p + 1);
        rest.resize(p);
        return tail.empty() ? std::string(1, '\0') : tail; // "\0": given but empty
    };
    // From the end: bias, factor, offsets.
    const std::string bias = cut('+'), factor = cut('*'), offsets = cut('@');
    const TFilterParams cells(a.Step(), rest);
    if (cells.Count() != size_t(w * h))
        a.Fail("needs " + std::to_string(w * h) + " kernel cells, not " +
               std::to_string(cells.Count()));
    auto f = std::make_shared<TConvFilter>();
    f->SetWidth(int(w));
    f->SetHeight(int(h));
    for (int i = 0; i < h; ++i)
        for (int j = 0; j < w; ++j)
            f->SetCell(j, i, cells.Int(size_t(i * w + j), "kernel cell", INT32_MIN, INT32_MAX));
    f->SetOffsetX(-int(w / 2));
    f->SetOffsetY(-int(h / 2));
    if (!offsets.empty()) {
        const TFilterParams o(a.Step(), offsets);
        o.Expect(2, 2);
        f->SetOffsetX(o.Int(0, "offset x", -1000000, 1000000));
        f->SetOffsetY(o.Int(1, "offset y", -1000000, 1000000));
    }
    if (!factor.empty())
        f->SetFactor(TFilterParams(a.Step(), factor).Number(0, "factor", -1e9L, 1e9L));
    if (!bias.empty()) f->SetBias(TFilterParams(a.Step(), bias).Number(0, "bias", -1e9L, 1e9L));
    return IntoNew(f);
}

TFilterStepFn ParseBevel(const TFilterParams& a) {
    a.Expect(1, 1);
    const int n = a.Int(0, "rings", 0, 1000000);
    return [n](TPicture& p, TFilterChainContext&) {
        // Always on a 24-bit picture: a palette picture gets a true-colour copy.
        if (p->PixelFormat() != pg24Bit) {
            auto copy = std::make_unique<TPixelGraphic>();
            copy->SetFormat(p->GetWidth(), p->GetHeight(), pg24Bit);
            copy->CopyFrom(*p);
            p = std::move(copy);
        }
        DrawBevel(*p, n);
    };
}

// The editor's effects: the picture as a full-size 24-bit buffer, the effect,
// and the buffer back as a 24-bit picture.
template <class F> TFilterStepFn OnBuffer(F effect) {
    return [effect](TPicture& p, TFilterChainContext& ctx) {
        TFastBMP first(*p);
        effect(first, ctx);
        first.AssignTo(*p);
    };
}
template <class F> TFilterStepFn OnTwoBuffers(F effect) {
    return [effect](TPicture& p, TFilterChainContext& ctx) {
        TFastBMP first(*p);
        // The buffers hold the pixels now: at most two copies are alive at
        // any moment (the picture is made again from the result).
        p->SetFormat(0, 0, pg24Bit);
        TFastBMP second(first.Width(), first.Height());
        second.CopyBitsFrom(first);
        effect(first, second, ctx);
        first = TFastBMP();
        second.AssignTo(*p);
    };
}

TFilterStepFn ParseEmboss(const TFilterParams& a) {
    a.Expect(0, 0);
    return OnBuffer([](TFastBMP& b, TFilterChainContext&) { FastEmboss(b); });
}

TFilterStepFn ParseFisheye(const TFilterParams& a) {
    a.Expect(0, 1);
    const float amount = a.Has(0) ? float(a.Number(0, "amount", 0.01L, 100)) : 1.0f;
    return OnTwoBuffers([amount](const TFastBMP& s, TFastBMP& d, TFilterChainContext&) {
        FastFisheye(s, d, amount);
    });
}

TFilterStepFn ParseSwirl(const TFilterParams& a) {
    a.Expect(0, 1);
    const float amount = a.Has(0) ? float(a.Number(0, "amount", -1e6L, 1e6L)) : 100.0f;
    if (amount == 0) a.Fail("amount 0 turns nothing");
    return OnTwoBuffers([amount](const TFastBMP& s, TFastBMP& d, TFilterChainContext&) {
        FastSwirl(s, d, amount);
    });
}

TFilterStepFn ParseMosaic(const TFilterParams& a) {
    a.Expect(1, 2);
    const int w = a.Int(0, "block width", 0, 1000000);
    const int h = a.Has(1) ? a.Int(1, "block height", 0, 1000000) : w;
    return OnBuffer([w, h](TFastBMP& b, TFilterChainContext&) { FastMosaic(b, w, h); });
}

template <void (*Noise)(TFastBMP&, int, TPGRandom&)>
TFilterStepFn ParseNoise(const TFilterParams& a) {
    a.Expect(1, 1);
    const int v = a.Int(0, "amount", 0, 100);
    return OnBuffer([v](TFastBMP& b, TFilterChainContext& ctx) { Noise(b, v, ctx.Random()); });
}

TFilterStepFn ParseSpray(const TFilterParams& a) {
    a.Expect(1, 1);
    const int v = a.Int(0, "amount", 0, 100);
    return OnTwoBuffers([v](const TFastBMP& s, TFastBMP& d, TFilterChainContext& ctx) {
        FastSpray(s, d, v, ctx.Random());
    });
}

} // namespace

const std::vector<TFilterSpec>& FilterSpecs() {
    static const std::vector<TFilterSpec> table = {
        {"negative", "negative", "negative of every colour", ParseNegative},
        {"grey", "grey[=plain]", "grey scale, weighted (plain: R+G+B)", ParseGrey},
        {"bcg", "bcg=B,C,G[,rgb|y]", "brightness -100..100, contrast and gamma 0.2..5", ParseBCG},
        {"rgb", "rgb=R,G,B", "shift red, green, blue by -100..100 %",
         [](const TFilterParams& a) {
             return ParsePercents<TRGBFilter>(a, "red", "green", "blue");
         }},
        {"cmy", "cmy=C,M,Y", "shift cyan, magenta, yellow by -100..100 %",
         [](const TFilterParams& a) {
             return ParsePercents<TCMYFilter>(a, "cyan", "magenta", "yellow");
         }},
        {"ycbcr", "ycbcr=Y,CB,CR", "shift Y, Cb, Cr by -100..100 %",
         [](const TFilterParams& a) { return ParsePercents<TYCbCrFilter>(a, "Y", "Cb", "Cr"); }},
        {"hls", "hls=H,L,S", "hue -180..180 degrees, lightness, saturation -100..100 %",
         [](const TFilterParams& a) { return ParseHue<THLSFilter>(a, "lightness", "saturation"); }},
        {"hsv", "hsv=H,S,V", "hue -180..180 degrees, saturation, value -100..100 %",
         [](const TFilterParams& a) { return ParseHue<THSVFilter>(a, "saturation", "value"); }},
        {"sharpen", "sharpen=SIGMA,PCT[,gauss|tent|rect[,nodist]]",
         "std. deviation 0.40..1.30, strength 10..100 %", ParseDistRecipe<TRecipe::Sharpen>},
        {"detail", "detail=SIGMA,PCT[,gauss|tent|rect[,nodist]]", "as sharpen",
         ParseDistRecipe<TRecipe::Detail>},
        {"smooth", "smooth=SIGMA,PCT[,gauss|tent|rect[,nodist]]", "as sharpen",
         ParseDistRecipe<TRecipe::Smooth>},
        {"contour", "contour=SIGMA,PCT,white|black",
         "std. deviation 0.40..1.30, strength 100..1000 %", ParseContour},
        {"blur", "blur=RADIUS,PCT", "radius 0.50..5.00, strength 10..100 %", ParseBlur},
        {"conv", "conv=WxH:c,c,...[@OX,OY][*FACTOR][+BIAS]",
         "own kernel, 1..99 cells each way, centred unless @ gives the offsets", ParseConv},
        {"bevel", "bevel=N", "raised frame of N rings (24-bit)", ParseBevel},
        {"emboss", "emboss", "emboss (24-bit)", ParseEmboss},
        {"fisheye", "fisheye[=AMOUNT]", "magnify the centre, radius AMOUNT x width (1.0)",
         ParseFisheye},
        {"swirl", "swirl[=AMOUNT]", "quarter turn plus d / AMOUNT radians (100; 0 refused)",
         ParseSwirl},
        {"mosaic", "mosaic=W[,H]", "blocks of W x H pixels (H = W)", ParseMosaic},
        {"bwnoise", "bwnoise=A", "monochrome noise, strength 0..100", ParseNoise<FastMonoNoise>},
        {"colornoise", "colornoise=A", "colour noise, strength 0..100", ParseNoise<FastColorNoise>},
        {"spray", "spray=A", "spray paint, strength 0..100", ParseSpray},
    };
    return table;
}
