// Wallpaper, external editors and the printed listing.

#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>

#include "../support/sample_files.h"
#include "browser/externaleditor.h"
#include "browser/filecommands.h"
#include "browser/listingprint.h"
#include "browser/mainform.h"
#include "browser/preview.h"
#include "browser/wallpaper.h"
#include "core/pixelgraphic.h"
#include "fixtures.h"
#include "formats/library.h"
#include "support/scriptedprompts.h"
#include <QClipboard>
#include <QGuiApplication>

namespace {

struct TFakeWallpaper : TWallpaperBackend {
    QStringList* log;
    explicit TFakeWallpaper(QStringList* l) : log(l) {}
    bool Available() const override { return true; }
    bool Apply(const QString& f, const QString& t, const QString& s) override {
        *log << f + "|" + t + "|" + s;
        return true;
    }
};

void WriteJpeg(const QString& path) {
    TPixelGraphic pic;
    pic.SetFormat(8, 6, pg24Bit);
    pic.SaveToFile(QFile::encodeName(path).toStdString());
}

QString Stored(const QString& key) {
    return QSettings(WallpaperSettingsPath(), QSettings::IniFormat).value(key).toString();
}

} // namespace

TEST(Wallpaper, TheCommandsTableAndTheBmpCopy) {
    InitImageLibrary();
    QStringList applied;
    SetWallpaperBackend(std::make_unique<TFakeWallpaper>(&applied));
    TScopedPrompts prompts;
    QTemporaryDir dir;
    const QString jpg = dir.filePath("a.b.jpg"), png = dir.filePath("c.png");
    const QString copies = WallpaperCopyFolder();
    EXPECT_TRUE(copies.startsWith(qEnvironmentVariable("XDG_DATA_HOME") + "/"));
    WriteJpeg(jpg);
    WriteJpeg(png);
    MakeFile(dir.filePath("a.bmp"), 5); // another picture of the copy's name

    // "Stretched": a.b.jpg is set through a BMP copy in our data folder,
    // asked nothing; the picture's own folder gets nothing.
    EXPECT_TRUE(SetWallpaper(nullptr, jpg, "0", "2"));
    const QString copyA = copies + "/a.bmp";
    TPixelGraphic check;
    check.LoadFromFile(QFile::encodeName(copyA).toStdString());
    EXPECT_EQ(check.GetWidth(), 8);
    EXPECT_EQ(applied, QStringList{copyA + "|0|2"});
    EXPECT_EQ(Stored("Wallpaper"), copyA);
    EXPECT_EQ(Stored("TileWallpaper"), "0");
    EXPECT_EQ(Stored("WallpaperStyle"), "2");
    EXPECT_TRUE(prompts->asked.empty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{"a.b.jpg", "a.bmp", "c.png"}));
    EXPECT_EQ(QFileInfo(dir.filePath("a.bmp")).size(), 5);

    // The next picture replaces the copy before it.
    EXPECT_TRUE(SetWallpaper(nullptr, png, "1", "0"));
    EXPECT_EQ(QDir(copies).entryList(QDir::Files), QStringList{"c.bmp"});

    // A BMP is used as it is ("Tiled", "Centered"); no copy is left over.
    applied.clear();
    EXPECT_TRUE(SetWallpaper(nullptr, dir.filePath("a.bmp"), "1", "0"));
    EXPECT_TRUE(SetWallpaper(nullptr, dir.filePath("a.bmp"), "0", "0"));
    EXPECT_EQ(applied,
              (QStringList{dir.filePath("a.bmp") + "|1|0", dir.filePath("a.bmp") + "|0|0"}));
    EXPECT_TRUE(QDir(copies).entryList(QDir::Files).isEmpty());

    // "Remove Wallpaper" asks nothing.
    applied.clear();
    EXPECT_TRUE(SetWallpaper(nullptr, "(None)", "0", "0"));
    EXPECT_TRUE(prompts->asked.empty());
    EXPECT_EQ(applied, QStringList{"(None)|0|0"});
    EXPECT_EQ(Stored("Wallpaper"), "(None)");
    SetWallpaperBackend(nullptr);
}

TEST(Wallpaper, NoSupportedDesktopIsSaidPlainly) {
    struct TCase {
        const char* desktop;
        TDesktopKind kind;
    };
    const TCase cases[] = {
        {"GNOME", TDesktopKind::Gnome},  {"ubuntu:GNOME", TDesktopKind::Gnome},
        {"Unity", TDesktopKind::Gnome},  {"X-Cinnamon", TDesktopKind::Cinnamon},
        {"MATE", TDesktopKind::Mate},    {"KDE", TDesktopKind::None},
        {"XFCE", TDesktopKind::None},    {"", TDesktopKind::None},
        {"openbox", TDesktopKind::None},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(DesktopKindOf(c.desktop), c.kind) << c.desktop;

    // The real backend under a window manager alone: nothing set, nothing
    // made, and the user is told why.
    InitImageLibrary();
    const QByteArray saved = qgetenv("XDG_CURRENT_DESKTOP");
    qputenv("XDG_CURRENT_DESKTOP", "openbox");
    SetWallpaperBackend(nullptr);
    TScopedPrompts prompts;
    QTemporaryDir dir;
    WriteJpeg(dir.filePath("p.jpg"));
    EXPECT_FALSE(SetWallpaper(nullptr, dir.filePath("p.jpg"), "0", "0"));
    EXPECT_EQ(prompts->Messages(), QStringList{kNoWallpaperDesktop});
    EXPECT_TRUE(QDir(WallpaperCopyFolder()).entryList(QDir::Files).isEmpty());
    if (saved.isNull())
        qunsetenv("XDG_CURRENT_DESKTOP");
    else
        qputenv("XDG_CURRENT_DESKTOP", saved);
}

TEST(ExternalEditor, TheFileArrivesAsOneAbsoluteArgument) {
    ClearSettings();
    TScopedPrompts prompts;
    QTemporaryDir dir;
    // The fake editor writes its arguments, one a line.
    const QString out = dir.filePath("argv.txt");
    const QString editor = dir.filePath("my editor.sh");
    {
        QFile f(editor);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.out\"\n");
    }
    QFile::setPermissions(editor, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    WriteSetting("JPG Editor", editor);
    for (const char* name : {"a b.jpg", "-x.jpg"}) {
        MakeFile(dir.filePath(name), 1);
        QFile::remove(editor + ".out");
        EXPECT_EQ(EditInExternalEditor(nullptr, dir.path(), name, {}), TEditorResult::Started);
        QTRY_VERIFY_WITH_TIMEOUT(
            QFileInfo::exists(editor + ".out") && QFileInfo(editor + ".out").size() > 0, 10000);
        QTest::qWait(100);
        QFile f(editor + ".out");
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), (dir.filePath(name) + "\n").toUtf8()) << name;
    }
    (void)out;

    int prefsOpened = 0;
    prompts->asked.clear();
    // Every type the preferences offer an editor for opens in it; others
    // are not offered and say so.
    EXPECT_EQ(EditInExternalEditor(nullptr, dir.path(), "p.xyz", [&] { ++prefsOpened; }),
              TEditorResult::NotSupported);
    EXPECT_EQ(EditInExternalEditor(nullptr, dir.path(), "i.ico", [&] { ++prefsOpened; }),
              TEditorResult::NoEditor);
    EXPECT_EQ(prefsOpened, 1);
    WriteSetting("GIF Editor", dir.filePath("no such editor"));
    EXPECT_EQ(EditInExternalEditor(nullptr, dir.path(), "g.gif", {}), TEditorResult::StartFailed);
    EXPECT_EQ(prompts->Messages(),
              QStringList({"File type of .XYZ not supported",
                           "You need to select a ICO editor under File/Set Preferences...",
                           "Can not edit " + dir.filePath("g.gif")}));
    for (const char* type : {"PNG", "TIF", "TGA", "PCX", "WMF", "AVI"}) {
        WriteSetting(QString(type) + " Editor", editor);
        for (const QString& name : {QString("x.") + type, QString("y.") + QString(type).toLower()}) {
            QFile::remove(editor + ".out");
            MakeFile(dir.filePath(name), 1);
            EXPECT_EQ(EditInExternalEditor(nullptr, dir.path(), name, {}), TEditorResult::Started)
                << name.toStdString();
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(editor + ".out").size() > 0, 10000);
        }
    }
    const std::pair<const char*, const char*> keys[] = {
        {"a.jpeg", "JPG"}, {"a.JPE", "JPG"}, {"b.tiff", "TIF"}, {"c.emf", "WMF"},
        {"d.dib", "BMP"},  {"e.png", "PNG"}, {"f.txt", ""},     {"noext", ""}};
    for (const auto& [name, key] : keys)
        EXPECT_EQ(EditorKeyOf(name), key) << name;
    EXPECT_EQ(EditorTypeOf("x.jpeg"), ".JPE");
    EXPECT_EQ(EditorTypeOf("x.Gif"), ".GIF");
    EXPECT_EQ(EditorLaunch("kate --new", "/a b.jpg").arguments, QStringList({"--new", "/a b.jpg"}));
}

TEST(ListingPrint, ThePdfHasTheFolderTheTitlesAndEveryName) {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty()) GTEST_SKIP() << "no pdftotext";
    ClearSettings();
    QTemporaryDir dir;
    QStringList names;
    for (int i = 0; i < 120; ++i) {
        names << QString("picture_%1.jpg").arg(i, 3, 10, QChar('0'));
        MakeFile(dir.filePath(names.back()), 100 + i);
    }
    TForm1 form;
    form.FileMask = BuildFileMask();
    ASSERT_TRUE(form.OpenFolder(dir.path()));
    ASSERT_EQ(form.SLV1->Count(), 120);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = dir.filePath("listing.pdf");
    printer.setOutputFileName(pdf);
    SetUpListingPage(&printer);
    PaintListing(&printer, dir.path(), form.SLV1);
    QProcess p;
    p.start("pdftotext", {"-layout", pdf, "-"});
    ASSERT_TRUE(p.waitForFinished(20000));
    // The font draws "fi" as one ligature glyph; the text brings it back.
    const QString text =
        QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    EXPECT_TRUE(text.contains(QFileInfo(dir.path()).fileName())) << text.left(300).toStdString();
    EXPECT_TRUE(text.contains("Name")) << text.left(300).toStdString();
    for (const QString& n : names)
        EXPECT_TRUE(text.contains(n)) << n.toStdString();
    EXPECT_TRUE(text.contains("Page 1"));
    EXPECT_TRUE(text.contains("Page 2"));
}

TEST(Clipboard, CopiesThePictureThePreviewShows) {
    InitImageLibrary();
    ClearSettings();
    TScopedPrompts prompts;
    QTemporaryDir dir;
    samples::SaveQuad(dir.filePath("q.png"), 40, 30);
    ASSERT_TRUE(samples::WriteQuadGif(dir.filePath("g.gif"), 24, 16));
    TForm1 form;
    form.show();
    auto settle = [] {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    };
    settle();
    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(CopyPreviewToClipboard(&form)); // nothing shown yet

    form.ShowInPreview(dir.filePath("q.png"));
    settle();
    ASSERT_TRUE(CopyPreviewToClipboard(&form));
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(40, 30));

    form.ShowInPreview(dir.filePath("g.gif"));
    settle();
    ASSERT_EQ(form.Preview->PreviewType, "GIF");
    ASSERT_TRUE(CopyPreviewToClipboard(&form));
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(24, 16));
    form.close();
}
