#pragma once
// The "Save Thumbnail" dialog (prefix, format, size, folder) and the
// "Select Folder" dialog its "..." button opens.

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TFolderTree;

class TfrmSelectFolder : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmSelectFolder(QWidget* parent = nullptr);
    TFolderTree* Tree;
};

class TfrmSaveThumbnail : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmSaveThumbnail(QWidget* parent = nullptr);

    QLineEdit* edPrefix;
    QComboBox* cbFormat;
    QComboBox* cbSize;
    QLineEdit* edFolder;
    QPushButton* btnFolder;
    QLabel* lblCount;

    // The choices, read after OK.
    QString Prefix() const;
    QString Extension() const; // "bmp", "jpg", ...
    int ThumbSize() const;     // 64, 80, 96 or 128
    QString Folder() const;    // with a trailing "/"

    void done(int r) override;

  private:
    void ChooseFolder();
};
