#include "album/webpublish.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>
#include <atomic>
#include <cmath>
#include <deque>
#include <future>
#include <memory>
#include <set>
#include <stdexcept>
#include <thread>

#include "album/albumlayout.h"
#include "core/colour.h"
#include "core/fileid.h"
#include "core/pixelgraphic.h"
#include "core/registry.h"
#include "core/stream.h"
#include "formats/jpeg.h"
#include "formats/webp.h"
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

// Saves in the format of the path's extension.
void SavePicture(TPixelGraphic& picture, const QString& path) {
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
    QString webpThumbnail; // empty: none written
};

class TPublisher {
  public:
    TPublisher(const std::vector<TAlbumEntry>& entries, const TPublishSettings& s,
               TPublishResult& r)
        : entries_(entries), s_(s), r_(r) {
        for (const TAlbumEntry& e : entries)
            sources_.push_back(QFile::decodeName(QByteArray::fromStdString(e.path)));
    }

    ~TPublisher() {
        // A cancelled run writes nothing more; work under way is waited for.
        cancelled_ = true;
        for (TJob& j : jobs_)
            if (j.work.valid()) j.work.wait();
    }

    // Publishes entries until one gives a cell, or none are left. The
    // picture after the one asked for is made meanwhile on another core:
    // names are chosen here, in album order, and each job keeps its own
    // messages until its turn.
    bool NextCell(TCell& cell) {
        for (;;) {
            while (int(jobs_.size()) < InFlight() && next_ < entries_.size()) {
                const size_t i = next_++;
                jobs_.push_back(Plan(entries_[i], sources_[i]));
                TJob& j = jobs_.back();
                if (j.planned && j.onWorker)
                    j.work = std::async(std::launch::async, [this, &j] { Make(j); });
            }
            if (jobs_.empty()) return false;
            TJob& j = jobs_.front();
            if (j.work.valid())
                j.work.get();
            else if (j.planned)
                Make(j); // a reader that keeps to this thread (metafiles)
            const bool ok = Finish(j, cell);
            jobs_.pop_front();
            ++done_;
            if (ok) return true;
        }
    }
    int Done() const { return int(done_); }

  private:
    struct TJob {
        const TAlbumEntry* entry = nullptr;
        QString path;
        bool planned = false; // false: the file's header could not be read
        bool onWorker = true;
        QSize size;
        bool fits = false, byteCopy = false, self = false;
        QString n, full, thumb, webpThumb; // webpThumb: only with the WebP option
        // Results, handed over in album order.
        QStringList messages;
        bool loaded = false, ok = true, webpWritten = false;
        std::future<void> work;
    };

    // Two pictures at once on two cores or more: each holds one decode.
    static int InFlight() { return std::thread::hardware_concurrency() >= 2 ? 2 : 1; }

    bool IsSource(const QString& path) const {
        const std::string p = QFile::encodeName(path).toStdString();
        for (const QString& src : sources_)
            if (SameFile(p, QFile::encodeName(src).toStdString())) return true;
        return false;
    }
    bool Taken(const QString& path) const {
        return written_.count(QFileInfo(path).absoluteFilePath()) != 0;
    }

    TJob Plan(const TAlbumEntry& e, const QString& path) {
        TJob j;
        j.entry = &e;
        j.path = path;
        const std::string native = QFile::encodeName(path).toStdString();
        std::string type;
        TPGImageInfo info;
        if (!GetFileImageInfo(native, 0, type, info) || info.Width <= 0 || info.Height <= 0)
            return j;
        j.planned = true;
        try {
            TFileStream file(native, TFileStream::OpenRead);
            const TFileFormatReader* reader = FindReader(file, FileExtensionHint(native));
            j.onWorker = reader && reader->WorkerSafe();
        } catch (const std::exception&) {
            j.onWorker = false; // the load itself reports the file
        }
        j.size = QSize(info.Width, info.Height);
        if (e.rotation & 1) j.size.transpose();
        j.fits = j.size.width() <= s_.maxSize && j.size.height() <= s_.maxSize;
        j.byteCopy = e.rotation == 0 && j.fits &&
                     QFileInfo(path).fileName().toUpper().contains(".JPG") && IsJpegFile(path);
        // N: the name up to its first dot; a name that would hit a picture of
        // the album (other than this byte copy onto itself) or a file this
        // run writes takes the next free N_2, N_3, ...
        const QString base = PublishBaseName(path);
        for (int k = 1; k < 10000; ++k) {
            j.n = k == 1 ? base : base + "_" + QString::number(k);
            j.full = QDir(s_.folder).filePath(j.n + ".jpg");
            j.thumb = QDir(s_.folder).filePath("tm_" + j.n + ".jpg");
            j.webpThumb = s_.webp ? QDir(s_.folder).filePath("tm_" + j.n + ".webp") : QString();
            j.self = j.byteCopy && SameFile(QFile::encodeName(j.full).toStdString(), native);
            const bool fullFree = !Taken(j.full) && (j.self || !IsSource(j.full));
            const bool webpFree = !s_.webp || (!Taken(j.webpThumb) && !IsSource(j.webpThumb));
            if (fullFree && !Taken(j.thumb) && !IsSource(j.thumb) && webpFree) break;
        }
        // Both names are this picture's from now on, whatever its outcome.
        written_.insert(QFileInfo(j.thumb).absoluteFilePath());
        written_.insert(QFileInfo(j.full).absoluteFilePath());
        if (s_.webp) written_.insert(QFileInfo(j.webpThumb).absoluteFilePath());
        return j;
    }

    // The picture's work: one decode, the thumbnail and the large copy.
    // Runs on a worker; touches nothing but the job.
    void Make(TJob& j) const {
        const TAlbumEntry& e = *j.entry;
        std::unique_ptr<TPixelGraphic> picture;
        try {
            if (e.rotation != 0) {
                picture = AlbumRotatedPicture(j.path, e.rotation);
            } else {
                picture = std::make_unique<TPixelGraphic>();
                picture->SetReadWarningAction(pgwaIgnore);
                picture->SetStretchMode(smPrecise);
                // One decode, reduced as far as the largest output allows.
                const int longest = j.byteCopy ? s_.thumbnailSize
                                    : j.fits   ? 0
                                               : std::max(s_.maxSize, s_.thumbnailSize);
                if (longest > 0) picture->SetLoadSizeHint(2 * longest);
                picture->LoadFromFile(QFile::encodeName(j.path).toStdString());
            }
            // Browsers take untagged pictures for sRGB: the pages get sRGB.
            PGConvertColours(*picture, TPGColourTarget::sRGB);
        } catch (const std::exception&) {
            j.messages << "Can't load graphic file " + j.path;
            return;
        }
        j.loaded = true;
        if (cancelled_) return;
        try {
            auto t = Fitted(*picture, PublishFit(j.size, s_.thumbnailSize), s_);
            SavePicture(*t, j.thumb);
            if (s_.webp) {
                try {
                    SavePicture(*t, j.webpThumb);
                    j.webpWritten = true;
                } catch (const std::exception&) {
                    j.messages << "Error writing file: " + j.webpThumb;
                    j.ok = false;
                }
            }
        } catch (const std::exception&) {
            j.messages << "Error writing file: " + j.thumb;
            j.ok = false;
        }
        try {
            if (!j.fits) {
                auto f = Fitted(*picture, PublishFit(j.size, s_.maxSize), s_);
                SavePicture(*f, j.full);
            } else if (j.byteCopy) {
                if (!j.self && !CopyWhole(j.path, j.full)) throw std::runtime_error("copy");
            } else {
                SavePicture(*picture, j.full);
            }
        } catch (const std::exception&) {
            j.messages << "Error writing file: " + j.full;
            j.ok = false;
        }
    }

    // The job's outcome into the result, in album order.
    bool Finish(TJob& j, TCell& cell) {
        if (!j.planned) {
            r_.messages << "Can't load graphic file " + j.path;
            ++r_.failed;
            return false;
        }
        r_.messages << j.messages;
        if (!j.loaded) {
            ++r_.failed;
            return false;
        }
        if (!j.ok) ++r_.failed;
        ++r_.written;
        cell.picture = j.n + ".jpg";
        cell.thumbnail = "tm_" + j.n + ".jpg";
        cell.webpThumbnail = j.webpWritten ? "tm_" + j.n + ".webp" : QString();
        cell.caption = s_.captionOption == 1 ? j.n + ".jpg"
                       : s_.captionOption == 2
                           ? QString::fromUtf8(QByteArray::fromStdString(j.entry->caption))
                           : QString();
        return true;
    }

    const std::vector<TAlbumEntry>& entries_;
    const TPublishSettings& s_;
    TPublishResult& r_;
    std::vector<QString> sources_;
    std::set<QString> written_; // names taken by this run
    std::deque<TJob> jobs_;     // planned, in album order
    std::atomic<bool> cancelled_{false};
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
    // The WebP writer's settings belong to the editor's save options: this
    // run borrows them and gives them back.
    struct TWebPSettings {
        int quality = WebPQuality;
        bool lossless = WebPLossless;
        ~TWebPSettings() {
            WebPQuality = quality;
            WebPLossless = lossless;
        }
    } keepWebP;
    if (s.webp) {
        WebPQuality = std::clamp(s.quality, 1, 100);
        WebPLossless = false;
    }
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
                const QString img = "<img border=\"1\" src=\"" + HtmlUrl(c.thumbnail) +
                                    "\" alt=\"" + HtmlText(alt) + "\">";
                QString line = "<td align=\"center\"><a href=\"" + HtmlUrl(c.picture) + "\">";
                if (c.webpThumbnail.isEmpty())
                    line += img;
                else
                    line += "<picture><source type=\"image/webp\" srcset=\"" +
                            HtmlUrl(c.webpThumbnail) + "\">" + img + "</picture>";
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
