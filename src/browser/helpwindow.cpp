#include "browser/helpwindow.h"

#include <QAction>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "browser/helptopics.h"
#include "platform/prompts.h"
#include "platform/settings.h"
#include "platform/windowplace.h"

namespace {

QUrl PageUrl(const QString& page) {
    return QUrl(QStringLiteral("qrc") + HelpResourceFolder() + page);
}

} // namespace

const std::vector<THelpPageText>& HelpIndex() {
    static const std::vector<THelpPageText> index = [] {
        std::vector<THelpPageText> v;
        for (const THelpTopic& t : HelpTopics()) {
            QFile f(HelpResourceFolder() + t.page);
            if (!f.open(QIODevice::ReadOnly)) continue;
            v.push_back(HelpPageTextFromHtml(t.page, QString::fromUtf8(f.readAll())));
        }
        return v;
    }();
    return index;
}

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("HelpWindow");
    setWindowTitle("Tavirlo Help");
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(880, 620);
    // Where the user left it last time, brought inside today's screen.
    bool ok[4] = {};
    const long long l = ReadSetting("HelpLeft", "").toLongLong(&ok[0]);
    const long long t = ReadSetting("HelpTop", "").toLongLong(&ok[1]);
    const long long w = ReadSetting("HelpWidth", "").toLongLong(&ok[2]);
    const long long h = ReadSetting("HelpHeight", "").toLongLong(&ok[3]);
    if (ok[0] && ok[1] && ok[2] && ok[3]) {
        const QRect stored = StoredWindowRect(l, t, w, h);
        setGeometry(FitWindowRect(stored, AvailableAreaFor(stored)));
    }

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    auto* bar = new QToolBar(this);
    bar->setObjectName("HelpToolBar");
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    top->addWidget(bar);

    auto* split = new QSplitter(Qt::Horizontal, this);
    top->addWidget(split, 1);

    Tabs = new QTabWidget(split);
    Tabs->setObjectName("HelpTabs");

    ContentsList = new QTreeWidget;
    ContentsList->setObjectName("ContentsList");
    ContentsList->setHeaderHidden(true);
    ContentsList->setRootIsDecorated(false);
    for (const THelpTopic& t : HelpTopics()) {
        auto* item = new QTreeWidgetItem(ContentsList, {QString::fromLatin1(t.title)});
        item->setData(0, Qt::UserRole, QString::fromLatin1(t.page));
        item->setToolTip(0, QString::fromLatin1(t.title));
    }
    Tabs->addTab(ContentsList, "Contents");
    connect(ContentsList, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* it) { ShowPage(it->data(0, Qt::UserRole).toString()); });
    connect(ContentsList, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* it) { ShowPage(it->data(0, Qt::UserRole).toString()); });

    auto* searchPage = new QWidget;
    auto* sl = new QVBoxLayout(searchPage);
    auto* sl1 = new QLabel("Type the words to find:", searchPage);
    sl->addWidget(sl1);
    auto* row = new QHBoxLayout;
    SearchEdit = new QLineEdit(searchPage);
    SearchEdit->setObjectName("SearchEdit");
    SearchEdit->setClearButtonEnabled(true);
    sl1->setBuddy(SearchEdit);
    auto* go = new QPushButton("Search", searchPage);
    row->addWidget(SearchEdit, 1);
    row->addWidget(go);
    sl->addLayout(row);
    SearchStatus = new QLabel(searchPage);
    SearchStatus->setObjectName("SearchStatus");
    sl->addWidget(SearchStatus);
    SearchResults = new QListWidget(searchPage);
    SearchResults->setObjectName("SearchResults");
    SearchResults->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SearchResults->setTextElideMode(Qt::ElideRight);
    sl->addWidget(SearchResults, 1);
    Tabs->addTab(searchPage, "Search");
    connect(SearchEdit, &QLineEdit::returnPressed, this, [this] {
        RunSearch();
        if (SearchResults->count()) OpenHit(0);
    });
    connect(SearchEdit, &QLineEdit::textChanged, this, &THelpWindow::RunSearch);
    connect(go, &QPushButton::clicked, this, [this] {
        RunSearch();
        if (SearchResults->count()) OpenHit(0);
    });
    connect(SearchResults, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* it) { OpenHit(SearchResults->row(it)); });
    connect(SearchResults, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* it) { OpenHit(SearchResults->row(it)); });

    HelpText = new QTextBrowser(split);
    HelpText->setObjectName("HelpText");
    // Web and mail links leave for the desktop's browser and mail program.
    HelpText->setOpenExternalLinks(true);
    HelpText->setSearchPaths({HelpResourceFolder()});
    split->addWidget(HelpText);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({270, 610});

    QStyle* st = style();
    BackAction = bar->addAction(st->standardIcon(QStyle::SP_ArrowBack), "Back");
    BackAction->setShortcut(QKeySequence::Back);
    ForwardAction = bar->addAction(st->standardIcon(QStyle::SP_ArrowForward), "Forward");
    ForwardAction->setShortcut(QKeySequence::Forward);
    HomeAction = bar->addAction(st->standardIcon(QStyle::SP_DirHomeIcon), "Contents");
    QAction* find = bar->addAction(st->standardIcon(QStyle::SP_FileDialogContentsView), "Search");
    find->setShortcut(QKeySequence::Find);
    bar->addSeparator();
    PrintAction = bar->addAction(
        QIcon::fromTheme("document-print", st->standardIcon(QStyle::SP_FileIcon)), "Print...");
    PrintAction->setShortcut(QKeySequence::Print);
    connect(PrintAction, &QAction::triggered, this, &THelpWindow::PrintPage);
    // Larger or smaller text for reading; Ctrl+wheel does the same.
    QAction* larger = bar->addAction("A+");
    larger->setToolTip("Larger text");
    larger->setShortcut(QKeySequence::ZoomIn);
    connect(larger, &QAction::triggered, this, [this] { HelpText->zoomIn(1); });
    QAction* smaller = bar->addAction("A-");
    smaller->setToolTip("Smaller text");
    smaller->setShortcut(QKeySequence::ZoomOut);
    connect(smaller, &QAction::triggered, this, [this] { HelpText->zoomOut(1); });
    BackAction->setEnabled(false);
    ForwardAction->setEnabled(false);
    connect(BackAction, &QAction::triggered, HelpText, &QTextBrowser::backward);
    connect(ForwardAction, &QAction::triggered, HelpText, &QTextBrowser::forward);
    connect(HomeAction, &QAction::triggered, this, [this] { ShowPage(HelpContentsPage()); });
    connect(find, &QAction::triggered, this, [this] { ShowSearch(); });
    connect(HelpText, &QTextBrowser::backwardAvailable, BackAction, &QAction::setEnabled);
    connect(HelpText, &QTextBrowser::forwardAvailable, ForwardAction, &QAction::setEnabled);
    connect(HelpText, &QTextBrowser::sourceChanged, this, &THelpWindow::PageChanged);
}

void THelpWindow::ShowPage(const QString& page) {
    const QUrl url = PageUrl(page);
    // Following the same link twice keeps one history entry.
    if (HelpText->source() != url) HelpText->setSource(url);
}

void THelpWindow::ShowContext(int context) {
    ShowPage(HelpPageForContext(context));
}

void THelpWindow::ShowSearch(const QString& words) {
    if (HelpText->source().isEmpty()) ShowPage(HelpContentsPage());
    Tabs->setCurrentIndex(1);
    if (!words.isEmpty()) SearchEdit->setText(words);
    SearchEdit->setFocus(Qt::ShortcutFocusReason);
    SearchEdit->selectAll();
}

QString THelpWindow::CurrentPage() const {
    return HelpText->source().fileName();
}

void THelpWindow::PageChanged(const QUrl& url) {
    // The browser tells the new page before its source() says so.
    const QString page = url.fileName();
    for (int i = 0; i < ContentsList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* it = ContentsList->topLevelItem(i);
        if (it->data(0, Qt::UserRole).toString() == page) {
            ContentsList->setCurrentItem(it);
            break;
        }
    }
    const QString title = HelpTitleOfPage(page);
    setWindowTitle(title.isEmpty() ? QString("Tavirlo Help") : "Tavirlo Help - " + title);
}

void THelpWindow::PrintPage() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(HelpTitleOfPage(CurrentPage()));
    if (!Prompts().PrintDialog(this, &printer)) return;
    HelpText->document()->print(&printer);
}

void THelpWindow::RunSearch() {
    const QString q = SearchEdit->text();
    if (q == lastSearch_ && !hits_.empty()) return;
    lastSearch_ = q;
    hits_ = SearchHelpPages(HelpIndex(), q);
    SearchResults->clear();
    for (const THelpHit& h : hits_) {
        auto* item = new QListWidgetItem(h.title, SearchResults);
        item->setToolTip(h.title);
    }
    if (HelpWords(q).isEmpty())
        SearchStatus->clear();
    else if (hits_.empty())
        SearchStatus->setText("No topics found.");
    else
        SearchStatus->setText(hits_.size() == 1 ? QString("1 topic found.")
                                                : QString("%1 topics found.").arg(hits_.size()));
}

void THelpWindow::OpenHit(int row) {
    if (row < 0 || row >= int(hits_.size())) return;
    ShowPage(hits_[size_t(row)].page);
    // Take the reader to the first place the first word occurs.
    const QStringList words = HelpWords(SearchEdit->text());
    if (!words.isEmpty()) {
        HelpText->moveCursor(QTextCursor::Start);
        HelpText->find(words.first());
    }
}

void THelpWindow::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (e->spontaneous()) return; // minimised: the place is unchanged
    const QRect g = geometry();
    WriteSetting("HelpLeft", QString::number(g.x()));
    WriteSetting("HelpTop", QString::number(g.y()));
    WriteSetting("HelpWidth", QString::number(g.width()));
    WriteSetting("HelpHeight", QString::number(g.height()));
}
