#pragma once
// TfAbout "About Tavirlo": the program, its version and maker, and the
// versions of the libraries it runs with (read at run time) with a short
// notice of their licences. Modal, fixed size.

#include <QDialog>

class QLabel;

// The program's version ("7.8"), from the build.
QString TavirloVersion();

// One line per library: "Qt 6.4.2", with " (built with ...)" when the build
// used other headers than the library now running.
QString QtVersionLine();
QString JpegVersionLine();
QString PngVersionLine();

class TfAbout : public QDialog {
    Q_OBJECT
  public:
    explicit TfAbout(QWidget* parent = nullptr);

    QLabel* ProgramName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Maker = nullptr;
    QLabel* QtVersion = nullptr;
    QLabel* JpegVersion = nullptr;
    QLabel* PngVersion = nullptr;
    QLabel* DisplayProfile = nullptr;
    QLabel* Licences = nullptr;
};
