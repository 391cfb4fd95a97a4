#pragma once
// "File Search": finds files by a wildcard pattern on one drive or on all of
// them and lists their full paths; a double-click shows a result in the
// browser. The walk (tools/filesearch.h) runs on a worker thread, so the
// window stays responsive; Stop, Esc and closing the window end it, and the
// results found so far stay.

#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <thread>

#include "browser/handover.h"
#include "tools/drives.h"
#include "tools/filesearch.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QRadioButton;
class QStatusBar;
class TSearchResultModel;

class TfSearch : public QWidget, public TToolHandOver {
    Q_OBJECT
  public:
    explicit TfSearch(QWidget* parent = nullptr);
    ~TfSearch() override;

    QLineEdit* SearchFor;
    QGroupBox* SearchGroup;
    QRadioButton* AllDrives;
    QRadioButton* SelectedDrive;
    QComboBox* DriveList;
    QPushButton* FindBtn;
    QPushButton* StopBtn;
    QListView* Results;
    TSearchResultModel* ResultModel;
    QStatusBar* StatusBar1;
    QLabel* StatusPanel;

    // Shows the window with the drive of the browser's folder selected.
    void TakeHandOver(const QString& folder, const QStringList& files) override;

    // The drive list (the mounted real file systems at start; tests give
    // their own folders).
    void SetDrives(std::vector<TDrive> drives);
    const std::vector<TDrive>& Drives() const { return drives_; }
    // Seams handed to every walk, and the results' cap (tests).
    TSearchSeams Seams;
    std::size_t Cap = kSearchResultCap;

    // "Find" / Enter: a new search (ignored while one runs).
    void Find();
    // "Stop" / Esc: ends the search; the results found so far stay.
    void Stop();
    bool Running() const { return running_; }
    bool StopRequested() const { return stop_.load(); }
    // A double-click on result `row` (nothing while a search runs).
    void ResultActivated(int row);
    // Shows `path` in the browser: its folder listed, its item selected and
    // scrolled into view, the file in the preview.
    static void ShowResult(const QString& path);

  signals:
    // A search ended (finished, stopped or failed).
    void SearchEnded();

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void showEvent(QShowEvent* e) override;

  private:
    struct Shared;
    void Poll();
    void Finish();
    void UpdateScope();

    std::vector<TDrive> drives_;
    std::shared_ptr<Shared> shared_;
    std::thread worker_;
    std::atomic<bool> stop_{false};
    QTimer poll_;
    bool running_ = false;
    bool polling_ = false;
};
