#pragma once
// The report-style file lists shared by the browser and the tool windows:
// the item model, the list view (the browser's SLV1 is one), the listing
// routine FillFileList, the image-type mask and the drag format that carries
// dragged names to the tools.

#include <QAbstractTableModel>
#include <QMimeData>
#include <QString>
#include <QStringList>
#include <QTreeView>
#include <optional>
#include <vector>

class TPanelStatusBar;

// One listed file. Texts are made when shown, so filling a big folder costs
// only the directory read.
struct TFileItem {
    QString name;        // caption: the file name, no path, for display (bytes that are
                         // no valid text show as U+FFFD)
    QByteArray rawName;  // the name as the folder holds it: files are opened by these bytes
    QString sortName;    // name with a..z upper-cased, the name sort key
    qint64 size = 0;     // bytes
    qint64 modified = 0; // seconds since the epoch, cut to even seconds
};

// The list's count for the status bar: "1 file", "0 files", "12 files".
QString FileCountText(qsizetype n);

// Texts of the four columns.
QString FileSizeText(qint64 size); // size div 1024 + 1
QString FileTypeText(const QString& name);
QString FileTimeText(qint64 secs); // local short date and time with seconds

class TFileListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit TFileListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    const TFileItem& Item(int row) const { return items_[row]; }
    const std::vector<TFileItem>& Items() const { return items_; }
    void SetItems(std::vector<TFileItem> items);
    // Sorts by `column` (0 name, 1 size, 2 type, 3 modified); selections
    // follow their items.
    void Sort(int column, bool ascending);

    void SetNameCaption(const QString& c);
    // Drag source identity: tag 1 is the browser's list, 2 the thumbnail
    // explorer's; `folder` is the folder the names belong to.
    int Tag = 0;
    QString Folder;

  private:
    std::vector<TFileItem> items_;
    QString nameCaption_ = "Name (Images)";
};

// A report list of files: multi-select, read-only, a drag source. The sort
// state lives with the list so every window sorts its own list the same way.
class TFileListView : public QTreeView {
    Q_OBJECT
  public:
    explicit TFileListView(QWidget* parent = nullptr);

    TFileListModel* Model() const { return model_; }
    int Count() const { return model_->rowCount(); }
    QString Caption(int row) const { return model_->Item(row).name; }
    // The file of `row` as file-system bytes (folder + "/" + the raw name):
    // two names that display alike still open their own files.
    QByteArray NativePath(int row) const;
    QStringList SelectedNames() const; // in list order
    QList<int> SelectedRows() const;   // in list order
    int SelCount() const;
    void ClearSelectionAll();

    int SortColumn = 0;
    bool SortAscending = true;
    // Sorts with SortColumn/SortAscending; shows "Error sorting items" when
    // the sort fails.
    void SortItems();
    // A header click: same column reverses, another column sorts ascending.
    void ColumnClick(int column);

    // The folder the list was last filled from; names join with it.
    QString ListedFolder() const { return model_->Folder; }

  private:
    TFileListModel* model_;
};

// When set, FillFileList lists every file instead of the masked types; it is
// the main window's "View All Files" and holds for every caller.
extern bool ViewAllFiles;

// Positions of the "FileTypes" setting: JPG, GIF, BMP, ICO, WMF, AVI, PCX,
// PNG, TGA, TIF (the first table), then PNM, WEBP, AVIF, HEIF, JXL.
inline constexpr int kFileTypeCount = 15;
inline constexpr int kFirstTableFileTypes = 10;
// Whether position i of a "FileTypes" value is on. Positions past the end
// of a value stored before the table grew count as on, so nobody loses
// pictures from the list by upgrading; missing positions of the first
// table stay off as they always did.
bool FileTypeChecked(const QString& fileTypes, int i);

// Builds the pattern string ("*.jpg;*.jpeg;...;*.gif;...") from the
// "FileTypes" setting.
QString BuildFileMask();
QString FileMaskFromTypes(const QString& fileTypes);

// Case-insensitive wildcard match of a file name against one pattern
// ("*" and "?"; "*.*" matches every name).
bool MatchesMask(const QString& name, const QString& pattern);

// Lists the plain, visible files of `folder` matching `mask` into `list` and
// writes "<n> files" to panel 1 of `sb` (when given). The folder becomes the
// process's current folder and the list's ListedFolder. A folder that cannot
// be entered raises EInOutError and leaves the list as it was.
void FillFileList(TFileListView* list, const QString& folder, TPanelStatusBar* sb,
                  const QString& mask);

// Reads the matching entries of `folder` without touching any widget.
std::vector<TFileItem> ListFolderFiles(const QString& folder, const QString& mask, bool all);

// Names dragged from a file list.
inline constexpr const char* kFileDragMime = "application/x-tavirlo-file-list";
struct TFileDrag {
    int tag = 0;
    QString folder;
    QStringList names;
    // The names as file-system bytes, one per name (empty from older senders):
    // a drop target opens these, since a displayed name may stand for several.
    QList<QByteArray> rawNames;
    // The file of name `i` as bytes.
    QByteArray NativePath(int i) const;
};
QMimeData* EncodeFileDrag(const TFileDrag& d);
std::optional<TFileDrag> DecodeFileDrag(const QMimeData* m);

// One file a drop names: an entry `name` of `folder`.
struct TDroppedFile {
    QString folder;
    QString name;
    // The two joined with one slash.
    QString Path() const;
};
// The files a drop names, in their order: a file-list drag gives its folder
// with each of its names, a drop from another program its local file URLs
// (split at the last slash, so that Path() is the URL's file). A drag name
// that is not one entry of an absolute folder (empty, "." or "..", holding
// a slash or a NUL) is never joined to the folder: it goes to `refused`
// as folder and name were sent, and not into the list.
std::vector<TDroppedFile> DecodeDroppedFiles(const QMimeData* m, QStringList* refused = nullptr);
