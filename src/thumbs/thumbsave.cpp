#include "thumbs/thumbsave.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include "core/fileid.h"

const QStringList& ThumbSaveFormatTexts() {
    static const QStringList t = {"BMP - bitmap", "JPG - jpeg (jfif compliant)",
                                  "TIF - Tagged Image File Format",
                                  "PNG - Portable Network Graphics", "TGA - Truevision Targa"};
    return t;
}

bool IsThumbSaveExt(const QString& ext) {
    for (const QString& t : ThumbSaveFormatTexts())
        if (ExtFromFormatText(t) == ext) return true;
    return false;
}

namespace {
// The output folder spelled the same way for every name of it, so that two
// outputs compare equal as text even before either exists.
QString CanonicalFolder(const QString& folder) {
    const QString c = QFileInfo(folder).canonicalFilePath();
    return c.isEmpty() ? QDir::cleanPath(QFileInfo(folder).absoluteFilePath()) : c;
}
} // namespace

void GuardOutput(const QString& output, const QStringList& sources) {
    const std::string out = output.toStdString();
    if (!FileIdOf(out)) return;
    for (const QString& s : sources)
        if (SameFile(out, s.toStdString())) throw EThumbnail("Would overwrite " + out);
}

std::vector<TThumbSaveItem> PlanThumbnailSaves(const QStringList& sources, const QString& outFolder,
                                               const QString& prefix, const QString& ext) {
    std::vector<TThumbSaveItem> items;
    QSet<QString> claimed;
    for (const QString& src : sources) {
        TThumbSaveItem it;
        it.source = src;
        const QString folder =
            CanonicalFolder(outFolder.isEmpty() ? QFileInfo(src).absolutePath() : outFolder);
        it.output = folder + "/" + ThumbSaveName(prefix, QFileInfo(src).fileName(), ext);
        if (claimed.contains(it.output)) {
            it.refusal = "Would overwrite " + it.output;
        } else {
            try {
                GuardOutput(it.output, sources);
                claimed.insert(it.output);
            } catch (const EThumbnail& e) {
                it.refusal = QString::fromStdString(e.Message());
            }
        }
        items.push_back(std::move(it));
    }
    return items;
}

void SaveThumbnailItem(const TThumbSaveItem& item, const QStringList& sources,
                       const TThumbOptions& o, TPixelGraphic& source, TPixelGraphic& scaled,
                       TPixelGraphic& square, QString* failure) {
    if (!item.refusal.isEmpty()) {
        if (failure) *failure = item.refusal;
        throw EThumbnail(item.refusal.toStdString());
    }
    if (failure) *failure = "Error reading " + item.source;
    int w = 0, h = 0;
    LoadThumbSource(item.source.toStdString(), o, source, w, h);
    PlaceThumbnail(source, w, h, o, scaled, square);
    try {
        GuardOutput(item.output, sources);
    } catch (const std::exception& e) {
        if (failure) *failure = QString::fromLocal8Bit(e.what());
        throw;
    }
    try {
        square.SaveToFile(item.output.toStdString());
    } catch (const std::exception& e) {
        if (failure)
            *failure = "Error writing " + item.output + ": " + QString::fromLocal8Bit(e.what());
        throw;
    }
    if (failure) failure->clear();
}
