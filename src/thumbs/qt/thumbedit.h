#pragma once
// "ThumbTav Creator": a list of dropped pictures laid out as a contact sheet,
// shown in a preview and saved as a picture file.

#include <QListWidget>
#include <QMainWindow>

class QAction;
class TPGImage;
class TPanelStatusBar;
class TfrmThumbTavOptions;

// The file list: takes drags from our file lists (tag and folder) and local
// files from other programs, keeping picture types only.
class TSheetFileList : public QListWidget {
    Q_OBJECT
  public:
    explicit TSheetFileList(QWidget* parent = nullptr);
    bool AcceptDrops = true; // off while a sheet is built
    // The full paths of a drop's data that are pictures.
    static QStringList DroppedPictures(const QMimeData* m);

  signals:
    void FilesDropped(const QStringList& paths);

  protected:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
};

class TfrmThumbEdit : public QMainWindow {
    Q_OBJECT
  public:
    explicit TfrmThumbEdit(QWidget* parent = nullptr);

    void AddFiles(const QStringList& paths);
    QStringList Files() const;
    void Generate();
    void SaveAs();
    void DeleteSelected();
    void ClearAll();
    void SetStretchToFit(bool on);
    TfrmThumbTavOptions* OptionsWindow();

    bool HasSheet() const;
    bool Building() const { return building_; }
    // Esc: the build stops before its next picture and the old sheet stays.
    void Cancel() { cancel_ = true; }

    TSheetFileList* lbFiles;
    TPGImage* PGImage1;
    TPanelStatusBar* StatusBar1;
    QAction *Generate1, *SaveAs1, *Close1, *tbStretch, *tbSave, *tbOptions, *tbGenerate;
    QAction *ViewImage1, *ImageProperties1, *DeleteItem1, *ClearAll1;

  protected:
    void hideEvent(QHideEvent* e) override;
    void showEvent(QShowEvent* e) override;

  private:
    void UpdateCommands();
    QString SelectedPath() const;

    TfrmThumbTavOptions* ownOptions_ = nullptr;
    bool building_ = false;
    bool cancel_ = false;
};
