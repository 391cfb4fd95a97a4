// The scanner client over SANE's test backend: the order of the source
// manager's calls, Cancel, no device, the DIB written as BMP, and the
// editor's "Acquire..." landing in the view without leaving files behind.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "core/pixelgraphic.h"
#include "editor/qt/acquire.h"
#include "editor/qt/twain.h"
#include "editor_fixture.h"
#include "formats/bmp.h"

// The test backend keeps a few strings for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libsane-test.so\n";
}

namespace {

class Scanner : public EditorTest {
  protected:
    Scanner() {
        // Keep the backend mapped so that what it keeps can be named.
        dlopen("/usr/lib/x86_64-linux-gnu/sane/libsane-test.so.1", RTLD_NOW | RTLD_NODELETE);
        UseBackend("test\n");
        twain.HideUI = true;
        twain.Options = {{"mode", "Color"}, {"resolution", "50"}, {"br-x", "20"}, {"br-y", "20"}};
        twain.Trace = [this](const QString& s) { calls << s.section(' ', 2, 2); };
    }
    // SANE reads its configuration folder once per process: one folder for
    // every test, its dll.conf rewritten by each.
    static QTemporaryDir& Conf() {
        static QTemporaryDir dir;
        return dir;
    }
    void UseBackend(const QByteArray& dll) {
        QTemporaryDir& conf = Conf();
        QFile f(conf.filePath("dll.conf"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(dll);
        f.close();
        qputenv("SANE_CONFIG_DIR", conf.path().toUtf8());
    }
    TTwain twain;
    QStringList calls;
};

} // namespace

TEST_F(Scanner, AcquisitionInTheCallOrderAndBackToState1) {
    if (!twain.TwainIsPresent()) GTEST_SKIP() << "no SANE";
    std::vector<uint8_t> dib = twain.TwainAcquireDib(nullptr, 0);
    ASSERT_FALSE(dib.empty());
    EXPECT_EQ(calls, QStringList({"0x301", "0x401", "0x502", "0x601", "0x1", "0x701", "0x501",
                                  "0x402", "0x302"}));
    EXPECT_EQ(twain.State(), 1);
    TPixelGraphic pg;
    DecodePackedDIB(pg, dib.data(), dib.size());
    EXPECT_EQ(pg.GetWidth(), 39);
    // Twice in a row works.
    calls.clear();
    EXPECT_FALSE(twain.TwainAcquireDib(nullptr, 0).empty());

    // The source's dialog cancelled: no picture, no box.
    twain.HideUI = false;
    prompts_->dialogAnswers.push_back([](QDialog*) { return int(QDialog::Rejected); });
    EXPECT_TRUE(twain.TwainAcquireDib(nullptr, 0).empty());
    EXPECT_TRUE(prompts_->Messages().isEmpty());
    EXPECT_EQ(twain.State(), 1);

    // No device: the four-line box.
    UseBackend("");
    twain.ProductName = "Tavirlo";
    EXPECT_TRUE(twain.TwainAcquireDib(nullptr, 0).empty());
    ASSERT_EQ(prompts_->Messages().size(), 1);
    EXPECT_EQ(prompts_->Messages()[0],
              "Tavirlo\nSource Manager operation failed\nRC: TWRC_FAILURE\n"
              "CC: TWCC_NODS (No Data Source)");
    EXPECT_EQ(twain.State(), 1);
}

TEST_F(Scanner, SaveDibAsBmpChecksTheDib) {
    // A 2 x 1 24-bit DIB.
    std::vector<uint8_t> dib(40 + 8, 0);
    dib[0] = 40, dib[4] = 2, dib[8] = 1, dib[12] = 1, dib[14] = 24;
    dib[40] = 255; // blue
    const QString out = Path("scan.bmp");
    EXPECT_EQ(twain.TwainSaveDibAsBmp(dib, out, nullptr), 0);
    TPixelGraphic pg;
    pg.LoadFromFile(out.toStdString());
    EXPECT_EQ(pg.GetPixelColor(0, 0), RGB(0, 0, 255));
    std::vector<uint8_t> lying = dib;
    lying[32] = 0, lying[35] = 0x40; // 2^30 colours used
    EXPECT_EQ(twain.TwainSaveDibAsBmp(lying, Path("x.bmp"), nullptr), -3);
    EXPECT_FALSE(QFile::exists(Path("x.bmp")));
    EXPECT_EQ(twain.TwainSaveDibAsBmp(dib, "/proc/none/x.bmp", nullptr), -2);
    EXPECT_EQ(twain.TwainSaveDibAsBmp({1, 2, 3}, Path("y.bmp"), nullptr), -3);
}

TEST_F(Scanner, EditorAcquireLandsInTheView) {
    if (!twain.TwainIsPresent()) GTEST_SKIP() << "no SANE";
    TTwain::Instance().HideUI = false;
    TTwain::Instance().Options = twain.Options;
    const QStringList before = QDir::temp().entryList({"PGL*"});

    prompts_->dialogAnswers.push_back([](QDialog* d) {
        d->findChild<QPushButton*>("ScanBtn")->click();
        return d->result();
    });
    ed_->AcquireImage();
    ASSERT_NE(ed_->PGImage1->CurrentPixelGraphic(), nullptr);
    EXPECT_GT(ed_->PGImage1->CurrentPixelGraphic()->GetWidth(), 0);
    EXPECT_EQ(QDir::temp().entryList({"PGL*"}), before) << "the temporary file is gone";
    EXPECT_FALSE(ed_->UndoAvailable());
}

TEST_F(Scanner, CancelDuringASlowTransfer) {
    if (!twain.TwainIsPresent()) GTEST_SKIP() << "no SANE";
    twain.Options = {{"mode", "Color"},   {"resolution", "100"},
                     {"read-limit", "1"}, {"read-limit-size", "64"},
                     {"read-delay", "1"}, {"read-delay-duration", "20000"}};
    // Cancel in the progress window as soon as the transfer runs.
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<QProgressDialog*>(w)) p->cancel();
    });
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(twain.TwainAcquireDib(nullptr, 0).empty());
    EXPECT_LT(t.elapsed(), 20000);
    EXPECT_TRUE(prompts_->Messages().isEmpty()) << prompts_->Messages().join("|").toStdString();
    EXPECT_EQ(twain.State(), 1);
}
