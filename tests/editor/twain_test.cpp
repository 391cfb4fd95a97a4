// The scanner client over SANE's test backend: the order of the source
// manager's calls, Cancel, no device, the DIB written as BMP, and the
// editor's "Acquire..." landing in the view without leaving files behind.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QProgressBar>
#include <deque>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "core/pixelgraphic.h"
#include "editor/qt/editorwindow.h"
#include "editor/qt/twain.h"
#include "editor_fixture.h"
#include "formats/bmp.h"
#include "platform/settings.h"

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
        // Every call but the polls the source had nothing for.
        twain.Trace = [this](const QString& s) {
            if (!s.endsWith("TWRC_NOTDSEVENT")) calls << s.section(' ', 2, 2);
            if (s.contains(" 0x1 ")) results << s.section(' ', 4);
        };
        // The source's dialog is modeless: each step runs on it once it is
        // shown, again and again until it says it is done.
        QObject::connect(&driver, &QTimer::timeout, [this] {
            if (steps.empty()) return;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == "ScanDialog" && w->isVisible()) {
                    if (steps.front()(static_cast<QDialog*>(w))) steps.pop_front();
                    return;
                }
        });
        driver.start(10);
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
    static bool Click(QDialog* d, const char* button) {
        d->findChild<QPushButton*>(button)->click();
        return true;
    }
    static QString Status(QDialog* d) { return d->findChild<QLabel*>("Status")->text(); }

    TTwain twain;
    QStringList calls, results;
    QTimer driver;
    std::deque<std::function<bool(QDialog*)>> steps;
};

const QStringList kOneScan = {"0x301", "0x401", "0x502", "0x601", "0x1",
                              "0x701", "0x501", "0x402", "0x302"};

} // namespace

TEST_F(Scanner, AcquisitionInTheCallOrderAndBackToState1) {
    if (!twain.TwainIsPresent()) GTEST_SKIP() << "no SANE";
    std::vector<uint8_t> dib = twain.TwainAcquireDib(nullptr, 0);
    ASSERT_FALSE(dib.empty());
    EXPECT_EQ(calls, kOneScan);
    EXPECT_EQ(twain.State(), 1);
    TPixelGraphic pg;
    DecodePackedDIB(pg, dib.data(), dib.size());
    EXPECT_EQ(pg.GetWidth(), 39);
    // Twice in a row works.
    calls.clear();
    EXPECT_FALSE(twain.TwainAcquireDib(nullptr, 0).empty());
    EXPECT_EQ(calls, kOneScan);

    // A feeder may hold more pages: one is taken, the rest dropped, and the
    // next acquisition again takes one.
    twain.Options["source"] = "Automatic Document Feeder";
    for (int i = 0; i < 2; ++i) {
        calls.clear();
        EXPECT_FALSE(twain.TwainAcquireDib(nullptr, 0).empty());
        EXPECT_EQ(calls, QStringList({"0x301", "0x401", "0x502", "0x601", "0x1", "0x701", "0x7",
                                      "0x501", "0x402", "0x302"}));
        EXPECT_EQ(twain.State(), 1);
    }
    EXPECT_TRUE(prompts_->Messages().isEmpty());

    // No device: the four-line box, the condition code from the status call.
    UseBackend("");
    calls.clear();
    EXPECT_TRUE(twain.TwainAcquireDib(nullptr, 0).empty());
    EXPECT_EQ(calls, QStringList({"0x301", "0x401", "0x1", "0x302"}));
    ASSERT_EQ(prompts_->Messages().size(), 1);
    EXPECT_EQ(prompts_->Messages()[0],
              "Unable to open default Data Source.\nSource Manager operation failed\n"
              "RC:   TWRC_FAILURE\nCC:   TWCC_NODS (No Data Source)");
    EXPECT_EQ(prompts_->asked.back().caption, "TWAIN Error");
    EXPECT_EQ(twain.State(), 1);
    EXPECT_TRUE(steps.empty());
}

TEST_F(Scanner, TransfersThatFailEndWithoutAPicture) {
    if (!twain.TwainIsPresent()) GTEST_SKIP() << "no SANE";
    // Failures of the device's reads; an option the device does not have.
    const struct {
        std::map<std::string, std::string> options;
        QString error;
        QStringList calls;
    } cases[] = {
        {{{"resolution", "50"}, {"read-return-value", "SANE_STATUS_NO_MEM"}},
         "Out of memory",
         {"0x301", "0x401", "0x502", "0x601", "0x1", "0x7", "0x601", "0x501", "0x402", "0x302"}},
        {{{"resolution", "50"}, {"read-return-value", "SANE_STATUS_JAMMED"}},
         "Document feeder jammed",
         {"0x301", "0x401", "0x502", "0x601", "0x1", "0x7", "0x601", "0x501", "0x402", "0x302"}},
        {{{"no-such-option", "1"}}, "", {"0x301", "0x401", "0x502", "0x1", "0x402", "0x302"}},
    };
    for (const auto& c : cases) {
        calls.clear();
        prompts_->asked.clear();
        twain.Options = c.options;
        EXPECT_TRUE(twain.TwainAcquireDib(nullptr, 0).empty());
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(twain.LastError, c.error);
        EXPECT_EQ(twain.State(), 1);
        if (c.error.isEmpty()) {
            ASSERT_EQ(prompts_->Messages().size(), 1);
            EXPECT_EQ(prompts_->Messages()[0],
                      "Failed to enable Data Source.\nDataSource operation failed\n"
                      "RC:   TWRC_FAILURE\nCC:   TWCC_BADVALUE (Data parameter out of range)");
        } else {
            EXPECT_TRUE(prompts_->Messages().isEmpty());
        }
    }
}

TEST_F(Scanner, TheSourcesDialogShowsTheDevicesOptions) {
    if (!twain.TwainIsPresent()) GTEST_SKIP() << "no SANE";
    twain.HideUI = false;
    // Cancelled: no picture, no box.
    steps.push_back([](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), "test:0");
        for (const char* n : {"mode", "resolution", "depth", "source", "tl-x", "br-y"})
            EXPECT_NE(d->findChild<QWidget*>(n), nullptr) << n;
        auto* res = d->findChild<QDoubleSpinBox*>("resolution");
        EXPECT_EQ(res->minimum(), 1);
        EXPECT_EQ(res->maximum(), 1200);
        EXPECT_EQ(res->value(), 50);
        auto* mode = d->findChild<QComboBox*>("mode");
        EXPECT_EQ(mode->count(), 2); // Gray, Color
        EXPECT_EQ(mode->currentText(), "Color");
        return Click(d, "CancelBtn");
    });
    EXPECT_TRUE(twain.TwainAcquireDib(nullptr, 0).empty());
    EXPECT_TRUE(steps.empty());
    EXPECT_TRUE(prompts_->Messages().isEmpty());
    EXPECT_EQ(twain.State(), 1);

    // A value chosen in the dialog is set on the device and remembered for
    // it; inactive options are not offered.
    twain.Options = {{"resolution", "50"}, {"br-x", "20"}, {"br-y", "20"}};
    steps.push_back([](QDialog* d) {
        auto* mode = d->findChild<QComboBox*>("mode");
        mode->setCurrentText("Gray");
        emit mode->activated(mode->currentIndex());
        return Click(d, "ScanBtn");
    });
    std::vector<uint8_t> dib = twain.TwainAcquireDib(nullptr, 0);
    ASSERT_FALSE(dib.empty());
    EXPECT_EQ(dib[14], 8) << "a grey picture";
    twain.Options = {{"resolution", "50"}, {"hand-scanner", "yes"}};
    steps.push_back([](QDialog* d) {
        EXPECT_EQ(d->findChild<QComboBox*>("mode")->currentText(), "Gray");
        EXPECT_EQ(d->findChild<QWidget*>("br-y"), nullptr);
        return Click(d, "CancelBtn");
    });
    EXPECT_TRUE(twain.TwainAcquireDib(nullptr, 0).empty());
    EXPECT_TRUE(steps.empty());
}

TEST_F(Scanner, AJamIsShownInTheDialogWhichStaysOpen) {
    if (!twain.TwainIsPresent()) GTEST_SKIP() << "no SANE";
    twain.HideUI = false;
    twain.Options["read-return-value"] = "SANE_STATUS_JAMMED";
    steps.push_back([](QDialog* d) { return Click(d, "ScanBtn"); });
    steps.push_back([](QDialog* d) {
        if (Status(d) != "Document feeder jammed") return false;
        return Click(d, "CancelBtn");
    });
    EXPECT_TRUE(twain.TwainAcquireDib(nullptr, 0).empty());
    EXPECT_TRUE(steps.empty());
    EXPECT_EQ(calls, QStringList({"0x301", "0x401", "0x502", "0x601", "0x1", "0x7", "0x601",
                                  "0x501", "0x402", "0x302"}));
    EXPECT_TRUE(prompts_->Messages().isEmpty());
    EXPECT_EQ(twain.State(), 1);
    EXPECT_TRUE(steps.empty());
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

    steps.push_back([](QDialog* d) { return Click(d, "ScanBtn"); });
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
    // Cancel while the transfer runs stops it; the dialog stays for
    // another try until it is closed.
    twain.HideUI = false;
    steps.push_back([](QDialog* d) { return Click(d, "ScanBtn"); });
    steps.push_back([](QDialog* d) {
        if (!d->findChild<QProgressBar*>("Progress")->isVisible()) return false;
        return Click(d, "CancelBtn");
    });
    steps.push_back([](QDialog* d) {
        if (Status(d) != "Scan cancelled") return false;
        return Click(d, "CancelBtn");
    });
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(twain.TwainAcquireDib(nullptr, 0).empty());
    EXPECT_LT(t.elapsed(), 20000);
    EXPECT_TRUE(prompts_->Messages().isEmpty()) << prompts_->Messages().join("|").toStdString();
    EXPECT_EQ(twain.State(), 1);
    EXPECT_TRUE(results.contains("TWRC_CANCEL"));
    EXPECT_TRUE(steps.empty());
}

TEST_F(Scanner, TheEditorsEntriesFollowTheLibrary) {
    TTwain& t = TTwain::Instance();
    t.SetLibrary("libsane-not-there.so.1");
    t.Trace = [this](const QString& s) { calls << s; };
    {
        TfrmAcquire ed;
        QCoreApplication::processEvents();
        EXPECT_FALSE(ed.findChild<QAction*>("Acquire1")->isEnabled());
        EXPECT_FALSE(ed.findChild<QAction*>("Select1")->isEnabled());
    }
    EXPECT_TRUE(calls.isEmpty()) << "the source manager is never called";
    t.Trace = nullptr;
    t.SetLibrary("libsane.so.1");
    if (!t.TwainIsPresent()) GTEST_SKIP() << "no SANE";
    TfrmAcquire ed;
    QCoreApplication::processEvents();
    EXPECT_TRUE(ed.findChild<QAction*>("Acquire1")->isEnabled());
    EXPECT_TRUE(ed.findChild<QAction*>("Select1")->isEnabled());
}

TEST_F(Scanner, APictureThatCannotBeStoredLeavesTheEditorAsItWas) {
    if (!twain.TwainIsPresent()) GTEST_SKIP() << "no SANE";
    TTwain::Instance().HideUI = true;
    TTwain::Instance().Options = twain.Options;
    Show();
    const std::vector<TRGB> before = Shown();
    const QByteArray tmp = qgetenv("TMPDIR");
    // A temporary folder where nothing can be created.
    qputenv("TMPDIR", "/proc");
    ed_->AcquireImage();
    qputenv("TMPDIR", tmp);
    TTwain::Instance().HideUI = false;
    ASSERT_EQ(prompts_->Messages().size(), 1);
    EXPECT_EQ(prompts_->Messages()[0], "Unable to aquire image");
    EXPECT_EQ(Shown(), before);
    EXPECT_FALSE(ed_->UndoAvailable());
}

TEST_F(Scanner, TheChosenSourceIsTheNextAcquisitionsSource) {
    if (!twain.TwainIsPresent()) GTEST_SKIP() << "no SANE";
    // The test backend offers two devices; the second is chosen.
    prompts_->itemAnswers.push_back(1);
    EXPECT_TRUE(twain.TWAIN_SelectImageSource(nullptr));
    ASSERT_EQ(prompts_->asked.size(), 1u);
    EXPECT_EQ(prompts_->asked[0].kind, "list");
    EXPECT_EQ(prompts_->asked[0].caption, "Select Source");
    EXPECT_TRUE(prompts_->asked[0].text.contains("(test:1)"));
    EXPECT_EQ(calls, QStringList({"0x301", "0x403", "0x302"}));
    EXPECT_EQ(twain.State(), 1);
    twain.HideUI = false;
    steps.push_back([](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), "test:1");
        return Click(d, "CancelBtn");
    });
    EXPECT_TRUE(twain.TwainAcquireDib(nullptr, 0).empty());
    EXPECT_TRUE(steps.empty());
    // Cancelled: false, the choice stays; no device: it says so.
    EXPECT_FALSE(twain.TWAIN_SelectImageSource(nullptr));
    EXPECT_EQ(ReadSetting("ScanSource", ""), "test:1");
    UseBackend("");
    EXPECT_FALSE(twain.TWAIN_SelectImageSource(nullptr));
    EXPECT_EQ(prompts_->Messages(), QStringList({"No scanner was found"}));
    EXPECT_EQ(twain.State(), 1);
    WriteSetting("ScanSource", "");
}
