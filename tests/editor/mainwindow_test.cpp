#include <QMessageBox>
#include <QRegularExpression>

#include "browser/filelist.h"
#include "browser/mainform.h"
#include "browser/toolwindows.h"
#include "editor/qt/register.h"
#include "editor_fixture.h"

namespace {

// The editor inside a running main window: its commands hand over the
// selected file, and the program does not end over unsaved work unasked.
class EditorInProgram : public EditorTest {
  protected:
    EditorInProgram() {
        RegisterEditorWindows();
        tools_.CreateAll();
        SetToolWindows(&tools_);
        form_ = std::make_unique<TForm1>();
        form_->UpdateToolCommands();
        form_->show();
        editor_ = static_cast<TfrmAcquire*>(tools_.Find("TfrmAcquire"));
    }
    ~EditorInProgram() override {
        form_.reset();
        SetToolWindows(nullptr);
    }
    TToolWindows tools_;
    std::unique_ptr<TForm1> form_;
    TfrmAcquire* editor_ = nullptr;
};

TEST_F(EditorInProgram, EditWithTavirloOpensTheSelectedFile) {
    ASSERT_NE(editor_, nullptr);
    ASSERT_TRUE(tools_.IsReal("TfrmAcquire"));
    WritePicture("a.bmp", pg24Bit, 9, 4);
    ASSERT_TRUE(form_->OpenFolder(dir_.path()));
    form_->SLV1->selectionModel()->select(form_->SLV1->model()->index(0, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    for (const char* command : {"Edit with Tavirlo...", "In Tavirlo", "Open Tavirlo Editor"}) {
        SCOPED_TRACE(command);
        editor_->hide();
        editor_->SetModified(false);
        editor_->FileNew();
        QAction* a = form_->Command(command);
        ASSERT_NE(a, nullptr);
        form_->UpdatePopupMenu1(); // as the pop-up menu does when it opens
        EXPECT_TRUE(a->isEnabled());
        a->trigger();
        EXPECT_TRUE(editor_->isVisible());
        EXPECT_EQ(editor_->PGImage1->ImageWidth(), 9);
        EXPECT_EQ(editor_->SaveFileName(), Path("a.bmp"));
    }
}

TEST_F(EditorInProgram, ClosingTheProgramAsksAboutUnsavedWork) {
    editor_->show(); // the editor starts watching the main window
    editor_->PGImage1->TakePixelGraphic(MakeTestPicture(pg24Bit, 4, 4));
    struct Case {
        bool modified;
        QMessageBox::StandardButton answer;
        bool closes;
    } const cases[] = {{true, QMessageBox::Cancel, false},
                       {true, QMessageBox::No, true},
                       {false, QMessageBox::NoButton, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.answer));
        form_->show();
        editor_->SetModified(c.modified);
        prompts_->asked.clear();
        if (c.modified) prompts_->buttonAnswers = {c.answer};
        EXPECT_EQ(form_->close(), c.closes);
        EXPECT_EQ(!prompts_->Messages().filter(QRegularExpression("^Save changes to .*\\?$")).isEmpty(),
                  c.modified);
    }
}

} // namespace
