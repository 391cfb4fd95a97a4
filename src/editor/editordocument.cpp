#include "editor/editordocument.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <sys/stat.h>

#include "core/exceptions.h"
#include "core/pixelgraphic.h"
#include "core/registry.h"
#include "formats/jpeg.h"

namespace {

std::string LocalName(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The file's size and modification time (ns), or false when it cannot be
// looked at.
bool FileStamp(const std::string& fileName, int64_t& size, int64_t& modified) {
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    size = int64_t(st.st_size);
    modified = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

// JPEG data starts with SOI and a marker, whatever the file is called.
bool StartsAsJpeg(const std::string& fileName) {
    FILE* f = std::fopen(fileName.c_str(), "rb");
    if (!f) return false;
    unsigned char head[3] = {};
    const bool ok =
        std::fread(head, 1, 3, f) == 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
    std::fclose(f);
    return ok;
}

bool WritesJpeg(const std::string& fileName) {
    return dynamic_cast<TJPGFileFormatWriter*>(FindWriter(FileExtensionHint(fileName))) != nullptr;
}

TJpegTurn Inverse(TJpegTurn turn) {
    switch (turn) {
    case TJpegTurn::Rotate90:
        return TJpegTurn::Rotate270;
    case TJpegTurn::Rotate270:
        return TJpegTurn::Rotate90;
    default:
        return turn; // the flips, the transpositions and the half turn undo themselves
    }
}

bool SameFile(const QString& a, const QString& b) {
    const QString ca = QFileInfo(a).canonicalFilePath(), cb = QFileInfo(b).canonicalFilePath();
    return !ca.isEmpty() && ca == cb;
}

} // namespace

TEditorDocument::TEditorDocument(TEditorHost& host) : host_(host) {}
TEditorDocument::~TEditorDocument() = default;

std::unique_ptr<TPixelGraphic> TEditorDocument::CopyOfPicture() {
    return host_.HostCopyPicture();
}

void TEditorDocument::SetPicture(std::unique_ptr<TPixelGraphic> picture) {
    host_.HostShowPicture(std::move(picture));
}

// ---- where the picture comes from

void TEditorDocument::NewPictureState() {
    state_ = nextState_++;
}

void TEditorDocument::Load(const QString& path) {
    // Only plain files are opened: a FIFO or device would block or never end.
    const QFileInfo fi(path);
    if (!fi.exists() || !fi.isFile())
        throw Exception(QString("%1 is not a readable file").arg(path).toStdString());
    const std::string local = LocalName(path);
    // Stamped before reading: a file that changes while it is read no longer
    // matches the stamp, so its blocks are never taken for the picture.
    TOrigin origin;
    const bool stamped = FileStamp(local, origin.size, origin.modified);
    host_.HostLoadPicture(local);
    NewPictureState();
    const TPixelGraphic* loaded = Picture();
    metadata_ = loaded ? loaded->Metadata() : TPGMetadata{};
    fileName_ = path;
    SetModified(false);
    origin_ = {};
    turns_ = {};
    // Only a JPEG read whole at its stored size is the source of its blocks.
    std::string type;
    TPGImageInfo info;
    if (loaded && stamped && StartsAsJpeg(local) && GetFileImageInfo(local, 0, type, info) &&
        info.Width == loaded->GetWidth() && info.Height == loaded->GetHeight()) {
        origin.id = nextOrigin_++;
        origin.fileName = local;
        origin.width = loaded->GetWidth();
        origin.height = loaded->GetHeight();
        origin_ = origin;
        turns_.origin = origin.id;
    }
}

void TEditorDocument::TookUnsavedPicture(bool forgetFileName) {
    NewPictureState();
    metadata_.Clear();
    turns_ = {};
    if (forgetFileName) fileName_.clear();
    SetModified(true);
}

void TEditorDocument::Cleared() {
    SetPicture(nullptr);
    NewPictureState();
    metadata_.Clear();
    turns_ = {};
    SetModified(false);
}

// ---- saving

void TEditorDocument::BeginSession() {
    JPEGQuality = 80;
}

bool TEditorDocument::OriginUnchanged() const {
    int64_t size = -1, modified = 0;
    return FileStamp(origin_.fileName, size, modified) && size == origin_.size &&
           modified == origin_.modified;
}

bool TEditorDocument::CanSaveLosslessly() const {
    const TPixelGraphic* picture = Picture();
    if (!picture || origin_.id == 0 || turns_.origin != origin_.id) return false;
    // The picture must be the opened one turned: anything else is a record
    // gone wrong, and encoding the picture is the safe way out.
    const bool swaps = JpegTurnSwapsSides(turns_.turn);
    return picture->GetWidth() == (swaps ? origin_.height : origin_.width) &&
           picture->GetHeight() == (swaps ? origin_.width : origin_.height) && OriginUnchanged();
}

bool TEditorDocument::SaveLosslessly(const QString& path) {
    const std::string target = LocalName(path);
    if (!WritesJpeg(target) || !CanSaveLosslessly()) return false;
    TJpegTransform transform;
    transform.turn = turns_.turn;
    try {
        JpegTransformFile(origin_.fileName, target, transform);
    } catch (const std::exception&) {
        // Partial edge blocks a turn cannot move, a source the transform
        // cannot read, a target it cannot write: the target is as it was,
        // and encoding the picture (which the user sees whole) takes over.
        return false;
    }
    if (SameFile(path, QFile::decodeName(origin_.fileName.c_str()))) {
        // The opened file now holds the turned picture: it is the new origin,
        // and every level's record is rebased onto it.
        const TJpegTurn back = Inverse(turns_.turn);
        const uint64_t old = origin_.id, now = nextOrigin_++;
        auto rebase = [&](TEditorTurnRecord& r) {
            if (r.origin != old) return;
            r.origin = now;
            r.turn = JpegTurnThen(back, r.turn);
        };
        for (TEditorUndoEntry& e : undo_)
            rebase(e.turns);
        for (TEditorUndoEntry& e : redo_)
            rebase(e.turns);
        rebase(turns_);
        origin_.id = now;
        origin_.width = Picture()->GetWidth();
        origin_.height = Picture()->GetHeight();
        if (!FileStamp(origin_.fileName, origin_.size, origin_.modified)) origin_ = {};
    }
    return true;
}

void TEditorDocument::Save(const QString& path) {
    if (Empty()) throw Exception("There is no picture to save");
    lastSaveLossless_ = SaveLosslessly(path);
    if (!lastSaveLossless_) {
        // The file's metadata blocks go with the picture (commands that make
        // a new picture do not carry them); the writers set the saved size.
        TPixelGraphic& picture = *PictureForChange();
        if (picture.Metadata().Empty()) picture.SetMetadata(metadata_);
        // Written beside the target and renamed over it when complete.
        picture.SaveToFile(LocalName(path));
        // Encoded over the opened file: its blocks are not the source any more.
        if (origin_.id && SameFile(path, QFile::decodeName(origin_.fileName.c_str()))) origin_ = {};
    }
    fileName_ = path;
    SetModified(false);
}

QString TEditorDocument::DisplayName() const {
    return fileName_.isEmpty() ? QString("the picture") : QFileInfo(fileName_).fileName();
}

// ---- undo and redo

QString TEditorDocument::UndoCaption() const {
    return undo_.empty() ? QString("Undo") : "Undo " + undo_.back().label;
}

QString TEditorDocument::RedoCaption() const {
    return redo_.empty() ? QString("Redo") : "Redo " + redo_.back().label;
}

void TEditorDocument::ResetUndo() {
    undo_.clear();
    redo_.clear();
    host_.UndoStateChanged();
}

void TEditorDocument::SetUndoBudget(int steps, int64_t bytes) {
    undoSteps_ = std::max(1, steps);
    undoBytes_ = std::max<int64_t>(0, bytes);
    TrimUndo();
    host_.UndoStateChanged();
}

void TEditorDocument::TrimUndo() {
    auto bytesOf = [](const std::deque<TEditorUndoEntry>& stack) {
        int64_t n = 0;
        for (const TEditorUndoEntry& e : stack)
            if (e.picture) n += e.picture->ImageSize();
        return n;
    };
    // The oldest redo levels go first (they are the furthest from the
    // picture shown), then the oldest undo levels; the latest undo stays.
    int64_t total = bytesOf(undo_) + bytesOf(redo_);
    auto over = [&] { return int(undo_.size() + redo_.size()) > undoSteps_ || total > undoBytes_; };
    while (!redo_.empty() && over()) {
        if (redo_.front().picture) total -= redo_.front().picture->ImageSize();
        redo_.pop_front();
    }
    while (undo_.size() > 1 && over()) {
        if (undo_.front().picture) total -= undo_.front().picture->ImageSize();
        undo_.pop_front();
    }
}

void TEditorDocument::Undo() {
    StepBetween(undo_, redo_);
}

void TEditorDocument::Redo() {
    StepBetween(redo_, undo_);
}

// Undo and redo alike: the newest level of `from` becomes the picture, and
// the picture as it is goes onto `to`.
void TEditorDocument::StepBetween(std::deque<TEditorUndoEntry>& from,
                                  std::deque<TEditorUndoEntry>& to) {
    if (from.empty()) return;
    // The copy first: when it fails nothing has changed.
    auto current = CopyOfPicture();
    TEditorUndoEntry back = std::move(from.back());
    from.pop_back();
    to.push_back(TEditorUndoEntry{std::move(current), back.label, state_, turns_});
    SetPicture(std::move(back.picture));
    state_ = back.state;
    turns_ = back.turns;
    host_.UndoStateChanged();
}
