#pragma once
// The small dialogs of the browser's file operations: renaming a file, its
// attributes, a new folder. Every label that shows a name shows it as plain
// text: a file called "<b>x</b>" is shown as those characters.

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>

class TfRename : public QDialog {
    Q_OBJECT
  public:
    explicit TfRename(QWidget* parent = nullptr);
    QLabel* lOldName;
    QLineEdit* Edit1;
};

class TFileAttrForm : public QDialog {
    Q_OBJECT
  public:
    explicit TFileAttrForm(QWidget* parent = nullptr);
    QLabel* FileDirName;
    QLabel* FilePathName;
    QLabel* ChangeDate;
    QCheckBox* ReadOnly;
    QCheckBox* Archive;
    QCheckBox* System;
    QCheckBox* Hidden;
};

class TfDirAdd : public QDialog {
    Q_OBJECT
  public:
    explicit TfDirAdd(QWidget* parent = nullptr);
    QLabel* Label1;
    QLineEdit* NewFolder;

  protected:
    void showEvent(QShowEvent* e) override;
};

// Registers these dialogs and the bookmark editor with the tool windows.
void RegisterBrowserDialogs();

// The program's instance of each dialog (the tool window registered under
// its class name), or, without the tool windows (tests), one made on first
// use and kept for the run.
TfRename* RenameDialog();
TFileAttrForm* FileAttrDialog();
TfDirAdd* DirAddDialog();
