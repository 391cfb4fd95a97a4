#pragma once
// The help window: the pages in a text browser, a contents list and a keyword
// search beside it, back and forward. One window for the whole program
// (help.h shows it); it never keeps the program alive.

#include <QWidget>
#include <vector>

#include "browser/helpsearch.h"

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;

class THelpWindow : public QWidget {
    Q_OBJECT
  public:
    explicit THelpWindow(QWidget* parent = nullptr);

    // Shows `page` (a file name of the help folder, optionally with "#anchor").
    void ShowPage(const QString& page);
    // Shows the page of a context number (the contents for an unknown one).
    void ShowContext(int context);
    // Opens the search tab with the field focused; `words` searched at once
    // when given.
    void ShowSearch(const QString& words = {});

    // The file name of the page shown ("contents.html").
    QString CurrentPage() const;
    // The pages the last search found, best first.
    const std::vector<THelpHit>& SearchHits() const { return hits_; }

    QTextBrowser* HelpText = nullptr;
    QTabWidget* Tabs = nullptr;
    QTreeWidget* ContentsList = nullptr;
    QLineEdit* SearchEdit = nullptr;
    QListWidget* SearchResults = nullptr;
    QLabel* SearchStatus = nullptr;
    QAction* BackAction = nullptr;
    QAction* ForwardAction = nullptr;
    QAction* HomeAction = nullptr;
    QAction* PrintAction = nullptr;

  protected:
    // Its place is kept for the next time it opens.
    void hideEvent(QHideEvent* e) override;

  private:
    void RunSearch();
    // Prints the page shown, on the printer the user picks.
    void PrintPage();
    void OpenHit(int row);
    void PageChanged(const QUrl& url);

    std::vector<THelpHit> hits_;
    QString lastSearch_;
};

// Every page's text, read once from the resources.
const std::vector<THelpPageText>& HelpIndex();
