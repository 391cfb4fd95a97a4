#pragma once
// The editor window under test: the image library ready, prompts answered by
// the test, a scratch folder, and helpers to read pictures back.

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "../support/test_pictures.h"
#include "core/pixelgraphic.h"
#include "editor/qt/editorwindow.h"
#include "formats/library.h"
#include "support/scriptedprompts.h"
#include "view/pgimage.h"
#include "view/services.h"

inline std::vector<TRGB> Pixels(const TPixelGraphic& pg) {
    std::vector<TRGB> v;
    v.push_back(pg.GetWidth());
    v.push_back(pg.GetHeight());
    for (int y = 0; y < pg.GetHeight(); ++y)
        for (int x = 0; x < pg.GetWidth(); ++x)
            v.push_back(pg.GetPixelColor(x, y));
    return v;
}

class EditorTest : public ::testing::Test {
  protected:
    EditorTest() {
        InitImageLibrary();
        InstallViewServices();
        InstallLibraryPrompts();
        ed_ = std::make_unique<TfrmAcquire>();
    }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    // Writes a test picture to `name` (format from the extension).
    QString WritePicture(const QString& name, TPGPixelFormat f = pg24Bit, int w = 5, int h = 3) {
        auto pg = MakeTestPicture(f, w, h);
        pg->SetSaveColorResWarningAction(pgwaIgnore);
        pg->SaveToFile(QFile::encodeName(Path(name)).toStdString());
        return Path(name);
    }
    void Show(TPGPixelFormat f = pg24Bit, int w = 5, int h = 3) {
        ed_->PGImage1->TakePixelGraphic(MakeTestPicture(f, w, h));
    }
    std::vector<TRGB> Shown() const {
        const TPixelGraphic* pg = ed_->PGImage1->CurrentPixelGraphic();
        return pg ? Pixels(*pg) : std::vector<TRGB>{};
    }
    void Trigger(const char* name) {
        QAction* a = ed_->findChild<QAction*>(name);
        ASSERT_NE(a, nullptr) << name;
        a->trigger();
    }
    TScopedPrompts prompts_;
    QTemporaryDir dir_;
    std::unique_ptr<TfrmAcquire> ed_;
};
