#pragma once
// TfrmFileProp, "Image Properties": the file and picture facts of one file
// over a dark red gradient, with a small preview of the picture. Callers set
// the path and show it modally; other windows reach it by name:
//   QMetaObject::invokeMethod(ToolWindows()->Find("TfrmFileProp"), "ShowFile",
//                             Q_ARG(QString, path));

#include <QDialog>
#include <QString>
#include <vector>

#include "meta/fileprops.h"

class QLabel;
class QPushButton;
class TPGImage;

class TfrmFileProp : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmFileProp(QWidget* parent = nullptr);

    TPGImage* Background; // the gradient, filling the client area
    TPGImage* Preview;    // 105 x 121 at (248, 128)
    QPushButton* OKButton;
    // The value labels, in the order of FilePropertyCaptions().
    std::vector<QLabel*> Values;

    void SetFilePath(const QString& fileName) { filePath_ = fileName; }
    QString FilePath() const { return filePath_; }
    // Fills the rows and the preview for the file path; showing does it.
    void Fill();
    // The facts shown last.
    const TFileProperties& Shown() const { return shown_; }

    // Sets the path, fills and shows the dialog modally.
    Q_INVOKABLE void ShowFile(const QString& fileName);

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void LoadPreview();

    QString filePath_;
    TFileProperties shown_;
};

// Shows the properties of `fileName` modally: the registered dialog when the
// program runs, else a dialog of its own over `parent`.
void ShowImageProperties(QWidget* parent, const QString& fileName);
