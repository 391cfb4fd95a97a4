#include "browser/turncommands.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <QMenuBar>
#include <QProgressDialog>
#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <vector>

#include "browser/mainform.h"
#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/registry.h"
#include "core/stream.h"
#include "formats/gifwrite.h"
#include "formats/jpegtransform.h"
#include "meta/exif/exiffile.h"
#include "meta/exif/orientation.h"
#include "platform/prompts.h"
#include "platform/safeopen.h"
#include "platform/waitcursor.h"
#include "thumbs/thumbcache.h"

namespace {

// The EXIF orientation whose upright turn is `turn`: one turning routine for
// every pixel format, palettes kept.
int OrientationOf(TFileTurn turn) {
    switch (turn) {
    case TFileTurn::RotateLeft: return 8;
    case TFileTurn::RotateRight: return 6;
    case TFileTurn::FlipHorizontal: return 2;
    case TFileTurn::FlipVertical: return 4;
    case TFileTurn::ApplyExifOrientation: break;
    }
    return 1;
}

TJpegTurn JpegTurnOf(TFileTurn turn) {
    switch (turn) {
    case TFileTurn::RotateLeft: return TJpegTurn::Rotate270;
    case TFileTurn::RotateRight: return TJpegTurn::Rotate90;
    case TFileTurn::FlipHorizontal: return TJpegTurn::FlipHorizontal;
    case TFileTurn::FlipVertical: return TJpegTurn::FlipVertical;
    case TFileTurn::ApplyExifOrientation: break;
    }
    return TJpegTurn::None;
}

TTurnFileResult Failed(const std::string& message) {
    TTurnFileResult r;
    r.message = message;
    return r;
}

TTurnFileResult Done(bool changed) {
    TTurnFileResult r;
    r.outcome = changed ? TTurnFileResult::Turned : TTurnFileResult::Unchanged;
    return r;
}

// The colour a GIF's first picture shows as transparent (its graphic control
// block's index in the colour table that picture uses); the reader keeps the
// colours but not which one is transparent. False when there is none.
bool GifTransparentColor(const std::vector<uint8_t>& d, TRGB& color) {
    const size_t n = d.size();
    if (n < 13 || std::memcmp(d.data(), "GIF8", 4) != 0) return false;
    size_t table = 0, tableSize = 0;
    if (d[10] & 0x80) {
        table = 13;
        tableSize = size_t(2) << (d[10] & 7);
    }
    size_t pos = 13 + tableSize * 3;
    int index = -1;
    while (pos < n) {
        if (d[pos] == 0x21 && pos + 2 < n) {
            if (d[pos + 1] == 0xF9 && pos + 7 < n && d[pos + 2] >= 4)
                index = (d[pos + 3] & 1) ? d[pos + 6] : -1;
            pos += 2;
            while (pos < n && d[pos] != 0) pos += size_t(d[pos]) + 1; // the sub-blocks
            ++pos;
        } else if (d[pos] == 0x2C && pos + 9 < n) {
            if (d[pos + 9] & 0x80) { // the picture's own colour table
                table = pos + 10;
                tableSize = size_t(2) << (d[pos + 9] & 7);
            }
            break;
        } else {
            return false;
        }
    }
    if (index < 0 || table == 0 || size_t(index) >= tableSize || table + size_t(index) * 3 + 2 >= n) return false;
    const uint8_t* c = d.data() + table + size_t(index) * 3;
    color = RGB(c[0], c[1], c[2]);
    return true;
}

// Decodes, turns and saves a picture that is not a JPEG in its own format.
TTurnFileResult TurnDecoded(const std::string& path, TFileTurn turn) {
    const int orientation = turn == TFileTurn::ApplyExifOrientation ? ExifOrientation(path) : OrientationOf(turn);
    if (orientation == 1) return Done(false);
    const std::string ext = FileExtensionHint(path);
    TPGImageInfo info;
    {
        TFileStream f(path, TFileStream::OpenRead);
        TFileFormatReader* reader = FindReader(f, ext);
        if (!reader) return Failed("not a picture file this program reads");
        reader->GetInfo(f, 0, info);
    }
    if (info.GraphicCount > 1)
        return Failed("it holds " + std::to_string(info.GraphicCount) +
                      " pictures; turning would keep only the first");
    const bool gif = ext == "gif";
    if (!gif && !FindWriter(ext)) return Failed("there is no writer for " + ext + " files");
    auto picture = std::make_unique<TPixelGraphic>();
    picture->LoadFromFile(path);
    bool transparent = picture->GetTransparent();
    TRGB transparentColor = picture->TransparentColor();
    if (gif) transparent = GifTransparentColor(ReadWholeFile(path), transparentColor);
    ApplyExifOrientation(picture, orientation);
    picture->SetTransparent(transparent);
    picture->SetTransparentColor(transparentColor);
    if (gif) {
        // The GIF writer keeps the colour table and the transparent colour.
        if (!WriteGIFFile(path, *picture, info.Options == "Interlaced", transparentColor, transparent))
            return Failed("the GIF writer could not store the picture (code " + std::to_string(GIFErrorCode) + ")");
    } else {
        picture->SaveToFile(path);
    }
    return Done(true);
}

bool IsJpegFile(const std::string& path) {
    try {
        TFileStream f(path, TFileStream::OpenRead);
        uint8_t sig[3] = {};
        return f.Read(sig, 3) == 3 && sig[0] == 0xFF && sig[1] == 0xD8 && sig[2] == 0xFF;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

TTurnFileResult TurnFile(const std::string& path, TFileTurn turn, bool trim) {
    try {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return Failed("the file cannot be found");
        if (!S_ISREG(st.st_mode)) return Failed("not a plain file");
        if ((st.st_mode & S_IWUSR) == 0) return Failed("the file is read-only");
        if (!IsJpegFile(path)) return TurnDecoded(path, turn);
        TJpegTransform t;
        t.turn = JpegTurnOf(turn);
        t.applyExifOrientation = turn == TFileTurn::ApplyExifOrientation;
        t.trim = trim;
        return Done(JpegTransformFile(path, path, t).changed);
    } catch (const EJpegTransformInexact& e) {
        TTurnFileResult r = Failed(e.what());
        r.needsTrim = true;
        return r;
    } catch (const std::bad_alloc&) {
        return Failed("out of memory");
    } catch (const std::exception& e) {
        return Failed(e.what());
    }
}

namespace {

// The list rows of the turned files get their new size and time; the
// selection stays as it was.
void UpdateRows(TForm1* form, const QList<int>& rows) {
    TFileListModel* model = form->SLV1->Model();
    const QList<int> selected = form->SLV1->SelectedRows();
    std::vector<TFileItem> items = model->Items();
    for (int row : rows) {
        struct stat st {};
        if (row < 0 || row >= int(items.size()) || ::stat(form->SLV1->NativePath(row).constData(), &st) != 0)
            continue;
        items[size_t(row)].size = st.st_size;
        items[size_t(row)].modified = st.st_mtime - (((st.st_mtime % 2) + 2) % 2); // even seconds, as listed
    }
    model->SetItems(std::move(items));
    QItemSelectionModel* sm = form->SLV1->selectionModel();
    for (int row : selected)
        sm->select(model->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (!selected.isEmpty())
        sm->setCurrentIndex(model->index(selected.front(), 0), QItemSelectionModel::NoUpdate);
}

// The thumbnail cache's entries of a turned file would show it as it was.
void ForgetThumbnails(const QByteArray& native) {
    const QString path = DisplayPath(native);
    for (int side : {128, 256}) QFile::remove(ThumbCachePath(path, side));
}

} // namespace

void TurnSelectedFiles(TForm1* form, TFileTurn turn) {
    const QList<int> rows = form->SLV1->SelectedRows();
    if (rows.isEmpty()) return;
    const QString caption = kTurnCommandCaptions[int(turn)];
    std::unique_ptr<QProgressDialog> progress;
    if (rows.size() > 1) {
        // Cancel (and Esc) stops before the next file; the file being
        // written is finished or left as it was, never half done.
        progress = std::make_unique<QProgressDialog>(caption + "...", "Cancel", 0, int(rows.size()), form);
        progress->setWindowTitle(caption);
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(400);
        progress->setValue(0);
    }
    QList<int> turned, needTrim;
    QStringList failures;
    auto run = [&](const QList<int>& which, bool trim) {
        for (int i = 0; i < which.size(); ++i) {
            if (progress) {
                progress->setValue(i);
                QApplication::processEvents();
                if (progress->wasCanceled()) return false;
            }
            const int row = which[i];
            const TTurnFileResult r = TurnFile(form->SLV1->NativePath(row).toStdString(), turn, trim);
            if (r.outcome == TTurnFileResult::Turned) turned << row;
            else if (r.needsTrim && !trim) needTrim << row;
            else if (r.outcome == TTurnFileResult::Failed)
                failures << form->SLV1->Caption(row) + ": " + QString::fromStdString(r.message);
        }
        return true;
    };
    bool finished = false;
    {
        TWaitCursor wait;
        finished = run(rows, false);
    }
    if (finished && !needTrim.isEmpty()) {
        QStringList names;
        for (int row : needTrim) names << form->SLV1->Caption(row);
        const QString question =
            (needTrim.size() == 1 ? QString("The size of this JPEG picture is")
                                  : QString("The sizes of these %1 JPEG pictures are").arg(needTrim.size())) +
            " not a whole number of blocks (8 or 16 pixels), so they cannot be turned without loss:\n\n" +
            names.mid(0, 20).join("\n") + (names.size() > 20 ? "\n..." : "") +
            "\n\nTurn them anyway, dropping the partial blocks at their edges (at most 15 pixels)?";
        if (MessageDlg(question, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, form) ==
            QMessageBox::Yes) {
            if (progress) {
                progress->setMaximum(int(needTrim.size()));
                progress->reset();
                progress->setValue(0);
            }
            TWaitCursor wait;
            run(needTrim, true);
        } else {
            for (int row : needTrim) failures << form->SLV1->Caption(row) + ": not turned (it would lose its edge)";
        }
    }
    progress.reset();

    QByteArray shown = form->PendingNative;
    bool previewTurned = false;
    for (int row : turned) {
        const QByteArray native = form->SLV1->NativePath(row);
        ForgetThumbnails(native);
        if (native == shown) previewTurned = true;
    }
    if (!turned.isEmpty()) UpdateRows(form, turned);
    if (previewTurned) form->ShowNativeInPreview(shown);
    if (!failures.isEmpty())
        MessageDlg(caption + ": these files were left as they are:\n\n" + failures.mid(0, 30).join("\n") +
                       (failures.size() > 30 ? QString("\n... and %1 more").arg(failures.size() - 30) : QString()),
                   QMessageBox::Warning, QMessageBox::Ok, form);
}

void ConnectTurnCommands(TForm1* form) {
    // The Edit menu's command and the pop-up's carry the same keys.
    for (int i = 0; i < int(std::size(kTurnCommands)); ++i) {
        const TFileTurn turn = TFileTurn(i);
        for (QAction* a : form->Commands(kTurnCommands[i])) {
            if (turn == TFileTurn::RotateLeft) a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
            if (turn == TFileTurn::RotateRight) a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
            a->setShortcutContext(Qt::WindowShortcut);
            QObject::connect(a, &QAction::triggered, form, [form, turn] { TurnSelectedFiles(form, turn); });
            form->MakeAvailable(a);
        }
    }
}
