#include "browser/filelist.h"

#include <QApplication>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLocale>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "browser/statusbar.h"
#include "formats/droptypes.h"
#include "platform/convert.h"
#include "platform/prompts.h"
#include "platform/safeopen.h"
#include "platform/settings.h"
#include "platform/waitcursor.h"

bool ViewAllFiles = false;

namespace {

QString UpperAZ(const QString& s) {
    QString r = s;
    for (QChar& c : r)
        if (c >= 'a' && c <= 'z') c = QChar(c.unicode() - 32);
    return r;
}

// Iterative wildcard match with single backtracking point: linear enough for
// file names, and no recursion on hostile names full of "*".
bool WildMatch(const QString& name, const QString& pat) {
    qsizetype n = 0, p = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pat.size() && (pat[p] == '?' || pat[p].toCaseFolded() == name[n].toCaseFolded())) {
            ++n;
            ++p;
        } else if (p < pat.size() && pat[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pat.size() && pat[p] == '*')
        ++p;
    return p == pat.size();
}

QString ColumnCaption(int section, const QString& nameCaption) {
    switch (section) {
    case 0:
        return nameCaption;
    case 1:
        return QStringLiteral("Size (KB)");
    case 2:
        return QStringLiteral("Type");
    default:
        return QStringLiteral("Modified");
    }
}

} // namespace

QString FileSizeText(qint64 size) {
    return QString::number(size / 1024 + 1);
}

QString FileTypeText(const QString& name) {
    const qsizetype dot = name.lastIndexOf('.');
    if (dot < 0) return {};
    return name.mid(dot + 1, 3).toUpper();
}

QString FileTimeText(qint64 secs) {
    static const QLocale loc = QLocale::system();
    // The long time format may carry a time-zone name; the list shows the
    // clock time only, with its seconds.
    static const QString timeFormat = [] {
        QString f = loc.timeFormat(QLocale::LongFormat);
        f.remove(QLatin1Char('t'));
        return f.trimmed();
    }();
    const QDateTime dt = QDateTime::fromSecsSinceEpoch(secs);
    return loc.toString(dt.date(), QLocale::ShortFormat) + ' ' +
           loc.toString(dt.time(), timeFormat);
}

bool MatchesMask(const QString& name, const QString& pattern) {
    if (pattern == QLatin1String("*.*")) return true; // every name, dot or not
    return WildMatch(name, pattern);
}

bool FileTypeChecked(const QString& fileTypes, int i) {
    if (i < fileTypes.size()) return fileTypes[i] == '1';
    return i >= kFirstTableFileTypes && i < kFileTypeCount;
}

QString FileMaskFromTypes(const QString& fileTypes) {
    QString mask;
    // Each position's patterns: every usual extension of the type (matching
    // ignores case).
    const auto types = ListedFileTypes();
    for (int i = 0; i < kFileTypeCount && i < int(types.size()); ++i) {
        if (!FileTypeChecked(fileTypes, i)) continue;
        for (std::string_view ext : types[i].extensions)
            mask += QLatin1String("*.") + QLatin1String(ext) + QLatin1Char(';');
    }
    return mask;
}

QString BuildFileMask() {
    return FileMaskFromTypes(ReadSetting("FileTypes", QString(kFileTypeCount, '1')));
}

std::vector<TFileItem> ListFolderFiles(const QString& folder, const QString& mask, bool all) {
    QStringList patterns;
    if (all) {
        patterns << "*.*";
    } else {
        QString rest = mask;
        qsizetype semi;
        while ((semi = rest.indexOf(';')) >= 0) {
            const QString pat = rest.left(semi);
            rest = rest.mid(semi + 1);
            if (!pat.isEmpty()) patterns << pat;
        }
    }

    const QByteArray path = QFile::encodeName(folder);
    DIR* dir = ::opendir(path.isEmpty() ? "." : path.constData());
    if (!dir) throw EInOutError(folder.toStdString() + ": " + std::strerror(errno));
    struct Closer {
        DIR* d;
        ~Closer() { ::closedir(d); }
    } closer{dir};
    const int dfd = ::dirfd(dir);

    // One pass over the folder, then grouped by pattern in mask order, the
    // way a per-pattern listing would add them.
    std::vector<TFileItem> found;
    std::vector<int> group;
    while (dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.') continue; // hidden, and "." / ".."
        if (e->d_type != DT_REG && e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) continue;
        const QString name = QFile::decodeName(e->d_name);
        int g = -1;
        for (int i = 0; i < patterns.size(); ++i)
            if (MatchesMask(name, patterns[i])) {
                g = i;
                break;
            }
        if (g < 0) continue;
        struct stat st;
        if (::fstatat(dfd, e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
        TFileItem it;
        it.name = name;
        it.rawName = QByteArray(e->d_name);
        it.sortName = UpperAZ(name);
        it.size = st.st_size;
        it.modified = st.st_mtime - (((st.st_mtime % 2) + 2) % 2); // even seconds
        found.push_back(std::move(it));
        group.push_back(g);
    }
    if (patterns.size() <= 1) return found;
    std::vector<int> order(found.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return group[a] < group[b]; });
    std::vector<TFileItem> out;
    out.reserve(found.size());
    for (int i : order)
        out.push_back(std::move(found[i]));
    return out;
}

QString FileCountText(qsizetype n) {
    return QString::number(n) + (n == 1 ? " file" : " files");
}

void FillFileList(TFileListView* list, const QString& folder, TPanelStatusBar* sb,
                  const QString& mask) {
    if (!list) return;
    const QString abs = QDir::cleanPath(QDir(folder).absolutePath());
    if (::chdir(QFile::encodeName(abs).constData()) != 0)
        throw EInOutError(abs.toStdString() + ": " + std::strerror(errno));
    TWaitCursor wait;
    list->Model()->Folder = abs;
    std::vector<TFileItem> items;
    struct Done { // the count is written however the listing ends
        TFileListView* list;
        TPanelStatusBar* sb;
        ~Done() {
            if (sb) sb->SetPanelText(1, FileCountText(list->Count()));
        }
    } done{list, sb};
    try {
        items = ListFolderFiles(abs, mask, ViewAllFiles);
    } catch (...) {
        list->Model()->SetItems({});
        throw;
    }
    list->Model()->SetItems(std::move(items));
}

// ---- model

TFileListModel::TFileListModel(QObject* parent) : QAbstractTableModel(parent) {}

int TFileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(items_.size());
}

int TFileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant TFileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(items_.size())) return {};
    const TFileItem& it = items_[index.row()];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case 0:
            return it.name;
        case 1:
            return FileSizeText(it.size);
        case 2:
            return FileTypeText(it.name);
        default:
            return FileTimeText(it.modified);
        }
    }
    if (role == Qt::TextAlignmentRole && index.column() > 0)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant TFileListModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) return ColumnCaption(section, nameCaption_);
    if (role == Qt::TextAlignmentRole && section > 0)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags TFileListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

QStringList TFileListModel::mimeTypes() const {
    return {kFileDragMime, "text/uri-list"};
}

Qt::DropActions TFileListModel::supportedDragActions() const {
    return Qt::CopyAction | Qt::MoveAction;
}

QMimeData* TFileListModel::mimeData(const QModelIndexList& indexes) const {
    std::vector<int> rows;
    for (const QModelIndex& i : indexes)
        if (i.isValid()) rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    TFileDrag d{Tag, Folder, {}, {}};
    for (int r : rows) {
        d.names << items_[r].name;
        d.rawNames << items_[r].rawName;
    }
    return EncodeFileDrag(d);
}

void TFileListModel::SetItems(std::vector<TFileItem> items) {
    beginResetModel();
    items_ = std::move(items);
    endResetModel();
}

void TFileListModel::SetNameCaption(const QString& c) {
    nameCaption_ = c;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

void TFileListModel::Sort(int column, bool ascending) {
    // Keys as the list compares them: names by code after folding a..z,
    // sizes by value, types with the name after them, times with the name.
    auto cmp = [column](const TFileItem& x, const TFileItem& y) -> int {
        auto c3 = [](auto a, auto b) { return a < b ? -1 : (b < a ? 1 : 0); };
        switch (column) {
        case 1:
            return c3(x.size / 1024, y.size / 1024);
        case 2: {
            const int t = c3(FileTypeText(x.name), FileTypeText(y.name));
            return t ? t : c3(x.sortName, y.sortName);
        }
        case 3: {
            const int t = c3(x.modified, y.modified);
            return t ? t : c3(x.sortName, y.sortName);
        }
        default:
            return c3(x.sortName, y.sortName);
        }
    };
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> order(items_.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = cmp(items_[a], items_[b]);
        return ascending ? c < 0 : c > 0;
    });
    std::vector<TFileItem> sorted;
    sorted.reserve(items_.size());
    std::vector<int> newRow(items_.size());
    for (size_t i = 0; i < order.size(); ++i) {
        newRow[order[i]] = int(i);
        sorted.push_back(std::move(items_[order[i]]));
    }
    items_ = std::move(sorted);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& i : from)
        to << index(newRow[i.row()], i.column());
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

// ---- view

TFileListView::TFileListView(QWidget* parent)
    : QTreeView(parent), model_(new TFileListModel(this)) {
    setModel(model_);
    setRootIsDecorated(false);
    setUniformRowHeights(true); // keeps big folders fast to lay out
    setItemsExpandable(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setAllColumnsShowFocus(true);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(0, Qt::AscendingOrder);
    header()->setStretchLastSection(false);
    header()->resizeSection(0, 160);
    header()->resizeSection(1, 60);
    header()->resizeSection(3, 140);
    connect(header(), &QHeaderView::sectionClicked, this, &TFileListView::ColumnClick);
}

QByteArray TFileListView::NativePath(int row) const {
    QByteArray folder = NativePathOf(model_->Folder);
    if (!folder.endsWith('/')) folder += '/';
    const TFileItem& it = model_->Item(row);
    return folder + (it.rawName.isEmpty() ? NativePathOf(it.name) : it.rawName);
}

QList<int> TFileListView::SelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& i : selectionModel()->selectedRows())
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

QStringList TFileListView::SelectedNames() const {
    QList<int> rows;
    for (const QModelIndex& i : selectionModel()->selectedRows())
        rows << i.row();
    std::sort(rows.begin(), rows.end());
    QStringList r;
    for (int row : rows)
        r << model_->Item(row).name;
    return r;
}

int TFileListView::SelCount() const {
    return int(selectionModel()->selectedRows().size());
}

void TFileListView::ClearSelectionAll() {
    selectionModel()->clearSelection();
}

void TFileListView::SortItems() {
    try {
        model_->Sort(SortColumn, SortAscending);
        header()->setSortIndicator(SortColumn,
                                   SortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
    } catch (const std::exception&) {
        ShowMessage("Error sorting items", this);
    }
}

void TFileListView::ColumnClick(int column) {
    if (column == SortColumn) {
        SortAscending = !SortAscending;
    } else {
        SortColumn = column;
        SortAscending = true;
    }
    SortItems();
}

// ---- drag format

QMimeData* EncodeFileDrag(const TFileDrag& d) {
    auto* m = new QMimeData;
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    s << qint32(d.tag) << d.folder << d.names << d.rawNames;
    m->setData(kFileDragMime, bytes);
    // Other programs (file managers, editors) take the same names as URLs,
    // made of the names' bytes so that each names its own file.
    QList<QUrl> urls;
    for (int i = 0; i < d.names.size(); ++i)
        urls << QUrl::fromEncoded("file://" + d.NativePath(i).toPercentEncoding("/"));
    m->setUrls(urls);
    return m;
}

QByteArray TFileDrag::NativePath(int i) const {
    QByteArray dir = NativePathOf(folder);
    if (!dir.endsWith('/')) dir += '/';
    const QByteArray name =
        i < rawNames.size() && !rawNames[i].isEmpty() ? rawNames[i] : NativePathOf(names.value(i));
    return dir + name;
}

std::optional<TFileDrag> DecodeFileDrag(const QMimeData* m) {
    if (!m || !m->hasFormat(kFileDragMime)) return std::nullopt;
    QByteArray bytes = m->data(kFileDragMime);
    QDataStream s(&bytes, QIODevice::ReadOnly);
    TFileDrag d;
    qint32 tag = 0;
    s >> tag >> d.folder >> d.names;
    if (s.status() != QDataStream::Ok) return std::nullopt;
    if (!s.atEnd()) {
        s >> d.rawNames;
        // No raw names (a sender that knows only the displayed ones) is
        // fine; some but not one per name is damage.
        if (s.status() != QDataStream::Ok ||
            (!d.rawNames.isEmpty() && d.rawNames.size() != d.names.size()))
            return std::nullopt;
    }
    d.tag = tag;
    return d;
}

QString TDroppedFile::Path() const {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

std::vector<TDroppedFile> DecodeDroppedFiles(const QMimeData* m, QStringList* refused) {
    std::vector<TDroppedFile> out;
    if (!m) return out;
    if (const auto d = DecodeFileDrag(m)) {
        const bool absolute = d->folder.startsWith('/');
        for (const QString& n : d->names) {
            const bool plain = !n.isEmpty() && n != "." && n != ".." && !n.contains('/') &&
                               !n.contains(QChar(0));
            if (absolute && plain) out.push_back({d->folder, n});
            else if (refused) *refused << TDroppedFile{d->folder, n}.Path();
        }
        return out;
    }
    for (const QUrl& u : m->urls()) {
        if (!u.isLocalFile()) continue;
        const QString path = u.toLocalFile();
        if (!path.startsWith('/')) continue;
        const qsizetype slash = path.lastIndexOf('/');
        out.push_back({path.left(slash), path.mid(slash + 1)});
    }
    return out;
}
