// TPixelGraphic::ApplyFilter: refusal in place, the palette and pixel paths,
// progress with abort, and Finish whatever happens.

#include <gtest/gtest.h>

#include <stdexcept>

#include "core/exceptions.h"
#include "core/filter.h"
#include "filter_fixtures.h"
#include "processing/colorfilters.h"
#include "processing/convfilter.h"

namespace {

// Records the calls; optionally throws at one pixel.
class TProbeFilter : public TPGFilter {
  public:
    int prepared = 0, finished = 0;
    int throwAtY = -1;
    bool point = false;
    void Prepare(const TPixelGraphic& s) override {
        ++prepared;
        TPGFilter::Prepare(s);
    }
    TRGB FilterPixel(int x, int y) override {
        if (y == throwAtY) throw std::runtime_error("probe");
        return Source()->GetPixelColor(x, y) ^ 0xFFFFFF;
    }
    void Finish() override {
        ++finished;
        TPGFilter::Finish();
    }
    bool IsPointFilter() const override { return point; }
};

TEST(ApplyFilter, InPlaceNeedsAPointFilter) {
    auto p = RandomPicture(5, 4);
    auto before = RandomPicture(5, 4);
    TConvFilter conv;
    try {
        p->ApplyFilter(conv, *p);
        FAIL();
    } catch (const EPGFilter& e) {
        EXPECT_STREQ(e.what(),
                     "Cannot apply this filter to a source that is identical to the target");
    }
    EXPECT_TRUE(SamePixels(*p, *before));
    TNegativeFilter neg;
    p->ApplyFilter(neg, *p);
    EXPECT_EQ(p->GetPixelColor(2, 3), before->GetPixelColor(2, 3) ^ 0xFFFFFF);
}

TEST(ApplyFilter, DestinationKeepsItsFormatAndEmptyGivesNoChange) {
    auto src = RandomPicture(6, 3);
    TPixelGraphic dest;
    dest.SetFormat(1, 1, pg8Bit);
    TNegativeFilter neg;
    dest.ApplyFilter(neg, *src);
    EXPECT_EQ(dest.PixelFormat(), pg8Bit);
    EXPECT_EQ(dest.GetWidth(), 6);

    TPixelGraphic empty, out;
    int changes = 0;
    out.OnChange = [&](TObject*) { ++changes; };
    out.ApplyFilter(neg, empty);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(out.GetWidth(), 0);
}

TEST(ApplyFilter, PalettePathChangesEntriesOnly) {
    auto p = PalettePicture(7, 5, 200);
    auto before = PalettePicture(7, 5, 200);
    TNegativeFilter neg;
    int changes = 0;
    p->OnChange = [&](TObject*) { ++changes; };
    p->ApplyFilter(neg, *p);
    EXPECT_EQ(changes, 1);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            ASSERT_EQ(p->GetPixel(x, y), before->GetPixel(x, y));
            ASSERT_EQ(p->GetPixelColor(x, y), before->GetPixelColor(x, y) ^ 0xFFFFFF);
        }
    // Into a separate palette picture of at least the source's depth: the
    // indices copied, the palette filtered.
    TPixelGraphic dest;
    dest.SetFormat(1, 1, pg8Bit);
    TGrayScaleFilter grey;
    dest.ApplyFilter(grey, *before);
    EXPECT_EQ(dest.GetPixel(3, 2), before->GetPixel(3, 2));
    EXPECT_EQ(dest.GetPixelColor(3, 2), grey.FilterColor(before->GetPixelColor(3, 2)));
}

TEST(ApplyFilter, IntoEightBitsDithersLikeACopy) {
    // 24 -> 8 bits takes the pixel path with error diffusion: the same as
    // filtering in true colour and then copying into the same palette.
    auto src = RandomPicture(31, 17, 5);
    auto palette = PalettePicture(1, 1, 16);
    TPixelGraphic a, b;
    for (TPixelGraphic* d : {&a, &b}) {
        d->SetFormat(31, 17, pg8Bit);
        d->CopyPaletteFrom(*palette);
    }
    TNegativeFilter neg;
    a.ApplyFilter(neg, *src);
    src->ApplyFilter(neg, *src);
    b.CopyFrom(*src);
    EXPECT_TRUE(SamePixels(a, b));
}

TEST(ApplyFilter, AbortAfterARowKeepsTheRest) {
    for (int threads : {1, 2, 5}) {
        SCOPED_TRACE(threads);
        const int saved = PGFilterThreads;
        PGFilterThreads = threads;
        auto src = RandomPicture(9, 40);
        TPixelGraphic dest;
        dest.SetFormat(9, 40, pg24Bit);
        int steps = 0, last = -1, max = 0;
        dest.OnProgress = [&](TObject*, int step, int m, bool& abort) {
            ++steps;
            last = step;
            max = m;
            abort = step == 6;
        };
        TNegativeFilter neg;
        dest.ApplyFilter(neg, *src);
        PGFilterThreads = saved;
        EXPECT_EQ(steps, 7);
        EXPECT_EQ(last, 6);
        EXPECT_EQ(max, 39);
        for (int y = 0; y < 40; ++y)
            ASSERT_EQ(dest.GetPixelColor(4, y), y <= 6 ? src->GetPixelColor(4, y) ^ 0xFFFFFF : 0);
    }
}

TEST(ApplyFilter, FinishRunsWhenAFilterThrows) {
    auto src = RandomPicture(4, 6);
    TPixelGraphic dest;
    dest.SetFormat(1, 1, pg8Bit);
    dest.SetPaletteCount(2);
    TProbeFilter f;
    f.throwAtY = 3;
    int ends = 0;
    dest.OnProgressEnd = [&](TObject*) { ++ends; };
    EXPECT_THROW(dest.ApplyFilter(f, *src), std::runtime_error);
    EXPECT_EQ(f.prepared, 1);
    EXPECT_EQ(f.finished, 1);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(f.Source(), nullptr);
    EXPECT_EQ(dest.DitherState(), nullptr);
}

TEST(ApplyFilter, ThreadsGiveTheSameResult) {
    auto src = RandomPicture(57, 93, 3);
    TConvFilter blur;
    blur.MakeBlur(60, 3.2L);
    TPixelGraphic one, many;
    const int saved = PGFilterThreads;
    PGFilterThreads = 1;
    one.ApplyFilter(blur, *src);
    PGFilterThreads = 3;
    many.ApplyFilter(blur, *src);
    PGFilterThreads = saved;
    EXPECT_TRUE(SamePixels(one, many));
}

} // namespace
