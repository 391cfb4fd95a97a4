// The main window's tool commands hand each tool exactly what its row of the
// hand-over table says.

#include <QAction>
#include <QItemSelectionModel>
#include <QTest>
#include <gtest/gtest.h>

#include "browser/editfile.h"
#include "browser/handover.h"
#include "browser/mainform.h"
#include "browser/toolwindows.h"
#include "fixtures.h"
#include "platform/paths.h"
#include "support/scriptedprompts.h"

namespace {

struct THandOverCall {
    QString tool, folder;
    QStringList files;
};
std::vector<THandOverCall>& Calls() {
    static std::vector<THandOverCall> c;
    return c;
}

class TFakeTool : public QWidget, public TToolHandOver {
  public:
    TFakeTool() : QWidget(nullptr, Qt::Window) {}
    void TakeHandOver(const QString& folder, const QStringList& files) override {
        Calls().push_back({objectName(), folder, files});
    }
};

// The image editor: loads what ends in ".jpg" and refuses the rest.
class TFakeEditor : public QWidget, public TToolEditFile {
  public:
    TFakeEditor() : QWidget(nullptr, Qt::Window) { setWindowTitle("Tavirlo Image Editor"); }
    bool EditFile(const QString& path) override {
        Calls().push_back({"TfrmAcquire", path, {}});
        return path.endsWith(".jpg");
    }
};

// A window that takes its one file through a ShowFile slot.
class TFakeShowFile : public QWidget {
    Q_OBJECT
  public:
    TFakeShowFile() : QWidget(nullptr, Qt::Window) { setWindowTitle("Image Properties"); }
    Q_INVOKABLE void ShowFile(const QString& path) { Calls().push_back({"ShowFile", path, {}}); }
};

void Select(TForm1* f, const QStringList& names) {
    f->SLV1->clearSelection();
    for (int i = 0; i < f->SLV1->Count(); ++i)
        if (names.contains(f->SLV1->Caption(i)))
            f->SLV1->selectionModel()->select(f->SLV1->model()->index(i, 0),
                                              QItemSelectionModel::Select |
                                                  QItemSelectionModel::Rows);
}

} // namespace

TEST(HandOver, EachToolGetsWhatItsRowSays) {
    ClearSettings();
    TScopedPrompts prompts;
    for (const char* cls : {"TfrmConvert", "TfSearch", "TfrmThumbnails", "TfrmIncRename",
                            "TfrmEXIF", "TfrmThumbEdit"})
        TToolWindows::RegisterFactory(cls, [cls] {
            // Titled like the real window: other tests check the captions.
            auto* w = new TFakeTool;
            for (const TToolWindowInfo& info : ToolWindowOrder())
                if (QString(info.className) == cls) w->setWindowTitle(info.caption);
            return w;
        });
    TToolWindows::RegisterFactory("TfrmAcquire", [] { return new TFakeEditor; });
    TToolWindows::RegisterFactory("TfrmFileProp", [] { return new TFakeShowFile; });
    TToolWindows tools;
    SetToolWindows(&tools);
    tools.CreateAll();

    QTemporaryDir dir;
    for (const char* n : {"a.jpg", "b.jpg", "c.jpg", "d.png"})
        MakeFile(dir.filePath(n), 10);
    const QString folder = dir.path();
    const QString a = AddBackslash(folder) + "a.jpg", b = AddBackslash(folder) + "b.jpg",
                  c = AddBackslash(folder) + "c.jpg";
    {
        TForm1 form;
        form.show();
        QCoreApplication::processEvents();
        ASSERT_TRUE(form.OpenFolder(folder));
        ASSERT_EQ(form.SLV1->Count(), 4);

        struct Case {
            QStringList selected;
            const char* command;
            // Expected hand-over (tool empty = none) and message.
            QString tool, folder;
            QStringList files;
            QString message;
        } cases[] = {
            {{}, "TavConverter", "", "", {}, "Click on an image filename first"},
            // Several selected (Ctrl+A): the first is taken.
            {{"a.jpg", "c.jpg"}, "TavConverter", "TfrmConvert", folder, {a}, ""},
            // The list's menu offers it only for one file.
            {{"a.jpg", "c.jpg"}, "Convert with TavConverter...", "", "", {}, ""},
            {{"b.jpg"}, "Convert with TavConverter...", "TfrmConvert", folder, {b}, ""},
            {{"b.jpg"}, "ToolButton1", "TfrmConvert", folder, {b}, ""},
            {{"a.jpg", "c.jpg"}, "Incremental Rename...", "TfrmIncRename", folder, {a, c}, ""},
            {{"b.jpg"}, "EXIF Data...", "TfrmEXIF", folder, {b}, ""},
            {{"b.jpg"}, "Search Files...", "TfSearch", folder, {}, ""},
            {{"b.jpg"}, "Thumbnail Explorer", "TfrmThumbnails", folder, {}, ""},
            {{"b.jpg"}, "ThumbTav Creator", "", "", {}, ""}, // shown only
        };
        for (const Case& k : cases) {
            Calls().clear();
            prompts->asked.clear();
            Select(&form, k.selected);
            form.UpdatePopupMenu1();
            QAction* act = form.Command(k.command);
            ASSERT_TRUE(act) << k.command;
            // A disabled command is one the user cannot give.
            if (act->isEnabled()) act->trigger();
            if (k.tool.isEmpty()) {
                EXPECT_TRUE(Calls().empty()) << k.command;
            } else {
                ASSERT_EQ(Calls().size(), 1u) << k.command;
                EXPECT_EQ(Calls()[0].tool, k.tool) << k.command;
                EXPECT_EQ(Calls()[0].folder, k.folder) << k.command;
                EXPECT_EQ(Calls()[0].files, k.files) << k.command;
                EXPECT_TRUE(tools.Find(k.tool)->isVisible()) << k.command;
            }
            EXPECT_EQ(prompts->Messages(),
                      k.message.isEmpty() ? QStringList() : QStringList{k.message})
                << k.command;
        }
        EXPECT_TRUE(tools.Find("TfrmThumbEdit")->isVisible());

        Calls().clear();
        Select(&form, {"c.jpg"});
        form.UpdatePopupMenu1();
        form.Command("Image Properties...")->trigger();
        ASSERT_EQ(Calls().size(), 1u);
        EXPECT_EQ(Calls()[0].tool, "ShowFile");
        EXPECT_EQ(Calls()[0].folder, c);

        // "Edit with Tavirlo..." loads the file, then shows the editor; a
        // file it cannot load is said, and the editor stays hidden.
        QAction* f8 = form.Command("Open Tavirlo Editor");
        ASSERT_TRUE(f8->isEnabled());
        EXPECT_EQ(f8->shortcut(), QKeySequence(Qt::Key_F8));
        Calls().clear();
        prompts->asked.clear();
        Select(&form, {"d.png"});
        f8->trigger();
        EXPECT_FALSE(tools.Find("TfrmAcquire")->isVisible());
        EXPECT_EQ(prompts->Messages(),
                  QStringList{"Can not edit " + AddBackslash(folder) + "d.png"});
        Select(&form, {"a.jpg"});
        form.UpdatePopupMenu1();
        form.Command("Edit with Tavirlo...")->trigger();
        ASSERT_EQ(Calls().size(), 2u);
        EXPECT_EQ(Calls()[1].folder, a);
        EXPECT_TRUE(tools.Find("TfrmAcquire")->isVisible());
        form.close();
    }
    SetToolWindows(nullptr);
}

#include "handover_test.moc"
