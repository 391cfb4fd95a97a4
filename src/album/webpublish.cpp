#include "album/webpublish.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>
#include <cmath>
#include <memory>
#include <set>
#include <stdexcept>

#include "album/albumlayout.h"
#include "core/colour.h"
#include "core/fileid.h"
#include "core/pixelgraphic.h"
#include "core/registry.h"
#include "formats/jpeg.h"
#include "processing/convfilter.h"
#include "thumbs/outfolder.h"

int PublishPageCount(int entries, int columns, int rows) {
    const int cells = std::max(1, columns) * std::max(1, rows);
    return entries / cells + (entries % cells != 0 ? 1 : 0);
}

QString PublishPageCountText(int pages) {
    return pages == 1 ? QString("1 page") : QString::number(pages) + " pages";
}

QString PublishPageBase(const QString& pageName) {
    const int dot = pageName.indexOf('.');
    const QString base = dot < 0 ? pageName : pageName.left(dot);
    if (base.isEmpty() || base.contains('/') || base == "..") return {};
    return base;
}

QString PublishColor(TRGB c) {
    return QString("%1%2%3")
        .arg(GetRValue(c), 2, 16, QChar('0'))
        .arg(GetGValue(c), 2, 16, QChar('0'))
        .arg(GetBValue(c), 2, 16, QChar('0'))
        .toUpper();
}

QSize PublishFit(QSize source, int s) {
    const int w = source.width(), h = source.height();
    if (w <= 0 || h <= 0) return {};
    if (w == h) return {s, s};
    if (h < w) return {s, std::max(1, int(double(h) / w * s))};
    return {std::max(1, int(s * (double(w) / h))), s};
}

QString PublishBaseName(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const int dot = name.indexOf('.');
    return dot < 0 ? name : name.left(dot);
}

QString HtmlText(const QString& s) {
    return s.toHtmlEscaped();
}

QString HtmlUrl(const QString& fileName) {
    return HtmlText(QString::fromLatin1(QUrl::toPercentEncoding(fileName)));
}

namespace {

bool IsJpegFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = f.read(3);
    return head.size() == 3 && uint8_t(head[0]) == 0xFF && uint8_t(head[1]) == 0xD8 &&
           uint8_t(head[2]) == 0xFF;
}

// Fit(S) of the picture as a new 24-bit picture, sharpened when asked.
std::unique_ptr<TPixelGraphic> Fitted(TPixelGraphic& picture, QSize size,
                                      const TPublishSettings& s) {
    auto work = std::make_unique<TPixelGraphic>();
    work->SetStretchMode(smPrecise);
    work->SetFormat(size.width(), size.height(), pg24Bit);
    work->CopyFrom(picture);
    if (!s.autoSharpen) return work;
    TConvFilter sharpen;
    sharpen.MakeSharpen(dsTent, false, s.sharpenAmount, 0.75L);
    auto out = std::make_unique<TPixelGraphic>();
    out->SetFormat(0, 0, pg24Bit);
    out->ApplyFilter(sharpen, *work);
    return out;
}

void SaveJpeg(TPixelGraphic& picture, const QString& path) {
    picture.SetSaveColorResWarningAction(pgwaIgnore);
    picture.SaveToFile(QFile::encodeName(path).toStdString());
}

// The byte copy, written whole or not at all, then writable by its owner.
bool CopyWhole(const QString& from, const QString& to) {
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = in.readAll();
    if (bytes.size() != in.size()) return false;
    QSaveFile out(to);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        return false;
    QFile::setPermissions(to, QFile::permissions(to) | QFileDevice::WriteOwner);
    return QFileInfo(to).size() == bytes.size();
}

struct TCell {
    QString picture, thumbnail, caption;
};

class TPublisher {
  public:
    TPublisher(const std::vector<TAlbumEntry>& entries, const TPublishSettings& s,
               TPublishResult& r)
        : entries_(entries), s_(s), r_(r) {
        for (const TAlbumEntry& e : entries)
            sources_.push_back(QFile::decodeName(QByteArray::fromStdString(e.path)));
    }

    // Publishes entries until one gives a cell, or none are left.
    bool NextCell(TCell& cell) {
        while (next_ < entries_.size()) {
            const size_t i = next_++;
            const bool ok = PublishEntry(entries_[i], sources_[i], cell);
            ++done_;
            if (ok) return true;
        }
        return false;
    }
    int Done() const { return int(done_); }

  private:
    bool IsSource(const QString& path) const {
        const std::string p = QFile::encodeName(path).toStdString();
        for (const QString& src : sources_)
            if (SameFile(p, QFile::encodeName(src).toStdString())) return true;
        return false;
    }
    bool Taken(const QString& path) const {
        return written_.count(QFileInfo(path).absoluteFilePath()) != 0;
    }

    bool PublishEntry(const TAlbumEntry& e, const QString& path, TCell& cell) {
        const QString folder = s_.folder;
        std::string type;
        TPGImageInfo info;
        if (!GetFileImageInfo(QFile::encodeName(path).toStdString(), 0, type, info) ||
            info.Width <= 0 || info.Height <= 0) {
            r_.messages << "Can't load graphic file " + path;
            ++r_.failed;
            return false;
        }
        QSize size(info.Width, info.Height);
        if (e.rotation & 1) size.transpose();
        const bool fits = size.width() <= s_.maxSize && size.height() <= s_.maxSize;
        const bool byteCopy = e.rotation == 0 && fits &&
                              QFileInfo(path).fileName().toUpper().contains(".JPG") &&
                              IsJpegFile(path);
        // N: the name up to its first dot; a name that would hit a picture of
        // the album (other than this byte copy onto itself) or a file this
        // run wrote takes the next free N_2, N_3, ...
        const QString base = PublishBaseName(path);
        QString n, full, thumb;
        bool self = false;
        for (int k = 1; k < 10000; ++k) {
            n = k == 1 ? base : base + "_" + QString::number(k);
            full = QDir(folder).filePath(n + ".jpg");
            thumb = QDir(folder).filePath("tm_" + n + ".jpg");
            self = byteCopy && SameFile(QFile::encodeName(full).toStdString(),
                                        QFile::encodeName(path).toStdString());
            const bool fullFree = !Taken(full) && (self || !IsSource(full));
            if (fullFree && !Taken(thumb) && !IsSource(thumb)) break;
        }
        std::unique_ptr<TPixelGraphic> picture;
        try {
            if (e.rotation != 0) {
                picture = AlbumRotatedPicture(path, e.rotation);
            } else {
                picture = std::make_unique<TPixelGraphic>();
                picture->SetReadWarningAction(pgwaIgnore);
                picture->SetStretchMode(smPrecise);
                // One decode, reduced as far as the largest output allows.
                const int longest = byteCopy ? s_.thumbnailSize
                                    : fits   ? 0
                                             : std::max(s_.maxSize, s_.thumbnailSize);
                if (longest > 0) picture->SetLoadSizeHint(2 * longest);
                picture->LoadFromFile(QFile::encodeName(path).toStdString());
            }
            // Browsers take untagged pictures for sRGB: the pages get sRGB.
            PGConvertColours(*picture, TPGColourTarget::sRGB);
        } catch (const std::exception&) {
            r_.messages << "Can't load graphic file " + path;
            ++r_.failed;
            return false;
        }
        bool ok = true;
        try {
            auto t = Fitted(*picture, PublishFit(size, s_.thumbnailSize), s_);
            SaveJpeg(*t, thumb);
            written_.insert(QFileInfo(thumb).absoluteFilePath());
        } catch (const std::exception&) {
            r_.messages << "Error writing file: " + thumb;
            ok = false;
        }
        try {
            if (!fits) {
                auto f = Fitted(*picture, PublishFit(size, s_.maxSize), s_);
                SaveJpeg(*f, full);
            } else if (byteCopy) {
                if (!self && !CopyWhole(path, full)) throw std::runtime_error("copy");
            } else {
                SaveJpeg(*picture, full);
            }
            written_.insert(QFileInfo(full).absoluteFilePath());
        } catch (const std::exception&) {
            r_.messages << "Error writing file: " + full;
            ok = false;
        }
        if (!ok) ++r_.failed;
        ++r_.written;
        cell.picture = n + ".jpg";
        cell.thumbnail = "tm_" + n + ".jpg";
        cell.caption = s_.captionOption == 1 ? n + ".jpg"
                       : s_.captionOption == 2
                           ? QString::fromUtf8(QByteArray::fromStdString(e.caption))
                           : QString();
        return true;
    }

    const std::vector<TAlbumEntry>& entries_;
    const TPublishSettings& s_;
    TPublishResult& r_;
    std::vector<QString> sources_;
    std::set<QString> written_;
    size_t next_ = 0, done_ = 0;
};

bool WritePage(const QString& path, const QStringList& lines) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    const QByteArray bytes = (lines.join("\r\n") + "\r\n").toUtf8();
    return f.write(bytes) == bytes.size() && f.commit();
}

} // namespace

TPublishResult Publish(const std::vector<TAlbumEntry>& entries, const TPublishSettings& s,
                       const TPublishProgress& progress) {
    TPublishResult r;
    if (const QString problem = OutputFolderProblem(s.folder, true); !problem.isEmpty()) {
        r.messages << problem;
        return r;
    }
    JPEGQuality = std::clamp(s.quality, 1, 100);
    JPEGProgressive = s.progressive;
    const QString base = PublishPageBase(s.pageName);
    if (base.isEmpty()) {
        r.messages << "Invalid page name";
        return r;
    }
    const int pages = PublishPageCount(int(entries.size()), s.columns, s.rows);
    TPublisher publisher(entries, s, r);
    // The first page is the name given; the ones after it are numbered.
    auto pageFile = [&](int p) {
        return p == 1 ? base + ".html" : base + "_" + QString::number(p) + ".html";
    };
    for (int p = 1; p <= pages; ++p) {
        QStringList lines = {
            "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">",
            "<html>",
            "<head>",
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">",
            "<meta name=\"GENERATOR\" content=\"Tavirlo Internet ThumbTav\">",
            "<meta name=\"ProgId\" content=\"Tavirlo Document\">",
            "<title>" + HtmlText(s.title) + "</title>",
            "</head>"};
        if (!s.backgroundImage.isEmpty() && s.useBackgroundImage)
            lines << "<body background=\"" +
                         HtmlText(QString::fromLatin1(
                             QUrl::toPercentEncoding(s.backgroundImage, "/:"))) +
                         "\">";
        else
            lines << "<body bgcolor=\"#" + PublishColor(s.background) + "\">";
        lines << "<div align=\"center\">"
              << "<center>"
              << "<font color=\"#" + PublishColor(s.text) + "\">";
        if (pages >= 2) {
            QString links = "<p>Page";
            for (int n = 1; n <= pages; ++n)
                links += n == p ? " " + QString::number(n)
                                : " <a href=\"" + HtmlUrl(pageFile(n)) + "\">" +
                                      QString::number(n) + "</a>";
            lines << links + "</p>";
        }
        lines << "<h1>" + HtmlText(s.header) + "</h1>";
        lines << QString("<table border=\"%1\" width=\"1\" height = \"1\" cellspacing=\"0\" "
                         "cellpadding=\"12\">")
                     .arg(s.showFrames ? 3 : 0);
        for (int row = 0; row < s.rows; ++row) {
            // A row is written only when it holds a cell.
            QStringList cells;
            for (int col = 0; col < s.columns; ++col) {
                TCell c;
                if (!publisher.NextCell(c)) break;
                // The alternative text: the caption, else the picture's name.
                const QString alt = c.caption.isEmpty() ? c.picture : c.caption;
                QString line = "<td align=\"center\"><a href=\"" + HtmlUrl(c.picture) +
                               "\"><img border=\"1\" src=\"" + HtmlUrl(c.thumbnail) +
                               "\" alt=\"" + HtmlText(alt) + "\">";
                if (!c.caption.isEmpty() || s.captionOption != 0)
                    line += "<BR>" + HtmlText(c.caption);
                cells << line + "</a></td>";
                if (progress && !progress(publisher.Done())) {
                    r.cancelled = true;
                    return r;
                }
            }
            if (cells.isEmpty()) break;
            lines << "<tr>" << cells << "</tr>";
        }
        lines << "</table>"
              << "<I>" + HtmlText(s.footer) + "</I>"
              << "</font>"
              << "</center>"
              << "</div>"
              << "</body>"
              << "</html>";
        const QString file = QDir(s.folder).filePath(pageFile(p));
        if (!WritePage(file, lines)) {
            r.messages << "Error writing file: " + file;
            return r;
        }
        if (p == 1) r.firstPage = file;
    }
    return r;
}
