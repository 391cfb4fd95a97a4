#include "editor_fixture.h"
#include "platform/screendepth.h"

namespace {

TEST_F(EditorTest, PrintAsksThroughThePromptsAndCancelPrintsNothing) {
    Trigger("Print1"); // empty: nothing to print, nothing asked
    EXPECT_TRUE(prompts_->asked.empty());
    Show(pg24Bit, 20, 10);
    prompts_->printAnswers.push_back(false);
    Trigger("Print1");
    ASSERT_EQ(prompts_->asked.size(), 1u);
    EXPECT_EQ(prompts_->asked[0].kind, "print");
    EXPECT_TRUE(prompts_->Messages().isEmpty());
}

TEST_F(EditorTest, ScreenCaptureTakesTheScreenInTheDepthsFormat) {
    ed_->show();
    struct Case {
        int depth;
        TPGPixelFormat format;
    } const cases[] = {{4, pg4Bit}, {8, pg8Bit}, {24, pg24Bit}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.depth);
        SetScreenDepthOverride(c.depth);
        ed_->SetModified(false);
        ed_->FileNew();
        Trigger("tbScreenCapture");
        const TPixelGraphic* pg = ed_->PGImage1->CurrentPixelGraphic();
        // A desktop that refuses the grab leaves the view as it was.
        if (!pg) continue;
        EXPECT_EQ(pg->PixelFormat(), c.format);
        EXPECT_GT(pg->GetWidth(), 0);
        EXPECT_TRUE(ed_->Modified());
        EXPECT_TRUE(prompts_->Messages().isEmpty());
    }
    SetScreenDepthOverride(0);
}

} // namespace
