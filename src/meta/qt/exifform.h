#pragma once
// TfrmEXIF, "EXIF Data": the tags of a picture's EXIF block, one row per tag
// in reading order. The main window shows it for the selected file; while
// it is visible it follows the main list to every newly selected file.

#include <QAbstractTableModel>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <vector>

class QTreeView;
class TBrowserContext;

// The rows as the list shows them. Long values (a maker note of many
// kilobytes) are cut for display; the row keeps the whole text for copying.
class TExifListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;
    struct TRow {
        QString Description, Value;
    };
    // Characters of a value the list draws.
    static constexpr int kShownChars = 512;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    void SetRows(std::vector<TRow> rows);
    const std::vector<TRow>& Rows() const { return rows_; }

  private:
    std::vector<TRow> rows_;
};

class TfrmEXIF : public QWidget {
    Q_OBJECT
  public:
    // The one row of a file without EXIF data.
    static constexpr const char* kNoExifData = "No EXIF data";
    explicit TfrmEXIF(QWidget* parent = nullptr);

    QTreeView* ListView1;
    TExifListModel* Model() const { return model_; }

    // Shows the window and reads `fileName` (the main window's "EXIF Data...").
    Q_INVOKABLE void ShowFile(const QString& fileName);
    // Empties the list and fills it with the tags of `fileName`, their values
    // as people read them ("No EXIF data" when it has none). A file that
    // cannot be opened is reported and leaves the list empty.
    Q_INVOKABLE void Read(const QString& fileName);
    // The file read last.
    QString FileName() const { return fileName_; }
    // The selected rows as "Description<TAB>Value" lines (Ctrl+C).
    QString SelectedText() const;
    void CopySelection();
    // Follows `browser`'s file list while visible (the running browser by
    // default, connected when the window is made or first shown).
    void Follow(TBrowserContext* browser);

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void ListSelectionChanged();

    TExifListModel* model_;
    QString fileName_;
    TBrowserContext* followed_ = nullptr;
    QPointer<QWidget> followedWindow_; // null once the followed browser is gone
};
