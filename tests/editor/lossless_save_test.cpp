// Saving a JPEG that was only turned or flipped since it was opened: the file
// is turned on its stored blocks (jpegtran is the oracle) with every marker
// kept; any other change is encoded as before.

#include <QProcess>

#include "editor/qt/editorwindow.h"
#include "editor_fixture.h"

namespace {

bool Sh(const QString& command) {
    return QProcess::execute("bash", {"-c", command}) == 0;
}

QString Q(const QString& path) {
    return "'" + path + "'";
}

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class LosslessSaveTest : public EditorTest {
  protected:
    // A camera-like JPEG: 4:2:0 at quality 92, EXIF (maker, an orientation
    // the editor must not touch), a comment.
    QString Camera(const QString& name, const QString& size = "160x96") {
        const QString ppm = Path(name + ".ppm"), jpg = Path(name);
        EXPECT_TRUE(Sh("convert -size " + size + " -seed 5 plasma:fractal " + Q(ppm) +
                       " && cjpeg -quality 92 -sample 2x2 " + Q(ppm) +
                       " | wrjpgcom -comment 'kept comment' > " + Q(jpg) +
                       " && exiftool -q -overwrite_original -Make=Tester -Orientation#=6 " +
                       Q(jpg)));
        return jpg;
    }
    // The decoded pixels, as djpeg writes them.
    QByteArray Decoded(const QString& jpg) {
        const QString out = jpg + ".pnm";
        EXPECT_TRUE(Sh("djpeg -pnm -outfile " + Q(out) + " " + Q(jpg))) << jpg.toStdString();
        return Bytes(out);
    }
    QString Tag(const QString& file, const QString& tag) {
        QProcess p;
        p.start("exiftool", {"-s3", "-n", "-" + tag, file});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
    // jpegtran's result of `ops` (one transform per run) applied to `src`.
    QString Jpegtran(const QString& src, const QStringList& ops, const QString& name) {
        QString cmd = "cat " + Q(src);
        for (const QString& op : ops)
            cmd += " | jpegtran -perfect -copy all " + op;
        EXPECT_TRUE(Sh(cmd + " > " + Q(Path(name))));
        return Path(name);
    }
    void SaveAs(const QString& path) {
        prompts_->fileAnswers.push_back({path});
        Trigger("SaveAs1");
    }
};

TEST_F(LosslessSaveTest, TurnsAndFlipsSaveLikeJpegtranKeepingEveryMarker) {
    const QString src = Camera("camera.jpg");
    const QString original = Path("original.jpg");
    ASSERT_TRUE(QFile::copy(src, original));
    ASSERT_TRUE(ed_->EditFile(src));
    // Right, flip, then an undo and redo on the way: the record follows them.
    Trigger("N90DegreesCW1");
    Trigger("FlipHorizontal1");
    Trigger("Undo1");
    Trigger("Redo1");
    const QString expected = Jpegtran(original, {"-rotate 90", "-flip horizontal"}, "expected.jpg");

    const QString copy = Path("copy.jpeg");
    SaveAs(copy); // Save As to another JPEG name
    EXPECT_TRUE(ed_->Document().LastSaveWasLossless());
    EXPECT_EQ(Bytes(src), Bytes(original)); // the source is untouched
    SaveAs(src);                            // and over the opened file
    EXPECT_TRUE(ed_->Document().LastSaveWasLossless());
    EXPECT_FALSE(ed_->Modified());
    for (const QString& saved : {copy, src}) {
        SCOPED_TRACE(saved.toStdString());
        EXPECT_EQ(Decoded(saved), Decoded(expected));
        EXPECT_EQ(Tag(saved, "Make"), "Tester");
        EXPECT_EQ(Tag(saved, "Orientation"), "6");
        EXPECT_EQ(Tag(saved, "Comment"), "kept comment");
        EXPECT_EQ(Tag(saved, "ImageWidth"), "96");
    }

    // The saved file is the new starting point, and every undo level still
    // knows how it relates to that file.
    Trigger("FlipHorizontal1"); // the original turned right
    SaveAs(src);
    EXPECT_TRUE(ed_->Document().LastSaveWasLossless());
    const QByteArray right = Decoded(Jpegtran(original, {"-rotate 90"}, "right.jpg"));
    EXPECT_EQ(Decoded(src), right);
    Trigger("Undo1");
    Trigger("Undo1"); // the first turn alone
    SaveAs(copy);
    EXPECT_TRUE(ed_->Document().LastSaveWasLossless());
    EXPECT_EQ(Decoded(copy), right);
    Trigger("Undo1"); // the picture as opened
    SaveAs(copy);
    EXPECT_TRUE(ed_->Document().LastSaveWasLossless());
    EXPECT_EQ(Decoded(copy), Decoded(original));
}

TEST_F(LosslessSaveTest, FourQuarterTurnsAreNoChange) {
    const QString src = Camera("camera.jpg");
    const QByteArray before = Bytes(src);
    ASSERT_TRUE(ed_->EditFile(src));
    for (int i = 0; i < 4; ++i)
        Trigger("N90DegreesCCW1");
    SaveAs(src);
    SaveAs(Path("copy.jpg"));
    EXPECT_TRUE(ed_->Document().LastSaveWasLossless());
    EXPECT_EQ(Bytes(src), before);
    EXPECT_EQ(Bytes(Path("copy.jpg")), before);
}

// Everything else encodes the picture as it is shown.
TEST_F(LosslessSaveTest, OtherChangesAndTargetsEncode) {
    struct Case {
        const char* what;
        const char* size;
        QStringList commands;
        const char* target;
    };
    const Case cases[] = {
        {"an edit after the turn", "160x96", {"N90DegreesCW1", "Emboss1"}, "out.jpg"},
        {"undone back, then another change",
         "160x96",
         {"N90DegreesCW1", "Undo1", "N3DBevel1"},
         "out.jpg"},
        // A turn that would have to drop the partial edge blocks.
        {"size off the block grid", "165x99", {"N180Degrees1"}, "out.jpg"},
        {"another format", "160x96", {"FlipVertical1"}, "out.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString src = Camera("camera.jpg", c.size);
        ASSERT_TRUE(ed_->EditFile(src));
        for (const QString& command : c.commands)
            Trigger(command.toUtf8().constData());
        const auto shown = Shown();
        SaveAs(Path(c.target));
        ASSERT_TRUE(QFile::exists(Path(c.target))) << prompts_->Messages().join("|").toStdString();
        EXPECT_FALSE(ed_->Document().LastSaveWasLossless());
        EXPECT_FALSE(ed_->Modified());
        // Nothing trimmed: the file has the whole picture.
        TPixelGraphic saved;
        saved.LoadFromFile(QFile::encodeName(Path(c.target)).toStdString());
        EXPECT_EQ(saved.GetWidth(), int(shown[0]));
        EXPECT_EQ(saved.GetHeight(), int(shown[1]));
        QFile::remove(Path(c.target));
    }
}

} // namespace

namespace {

// The opened file was replaced meanwhile: its blocks are not the picture's
// source any more, so the picture shown is what gets saved.
TEST_F(LosslessSaveTest, ASourceChangedSinceOpeningIsNotUsed) {
    const QString src = Camera("camera.jpg");
    ASSERT_TRUE(ed_->EditFile(src));
    Trigger("N90DegreesCW1");
    ASSERT_TRUE(Sh("convert -size 160x96 xc:red " + Q(src)));
    SaveAs(Path("copy.jpg"));
    EXPECT_FALSE(ed_->Document().LastSaveWasLossless());
    TPixelGraphic saved;
    saved.LoadFromFile(QFile::encodeName(Path("copy.jpg")).toStdString());
    EXPECT_EQ(saved.GetWidth(), 96);
    // Not the red replacement: the plasma picture, re-encoded.
    EXPECT_NE(saved.GetPixelColor(0, 0), saved.GetPixelColor(50, 80));
}

} // namespace
