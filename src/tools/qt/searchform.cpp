#include "tools/qt/searchform.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>
#include <mutex>

#include "browser/browsercontext.h"
#include "browser/form1.h"
#include "core/fileops.h"
#include "formats/droptypes.h"
#include "platform/prompts.h"
#include "platform/waitcursor.h"
#include "platform/windowplace.h"
#include "tools/qt/searchresults.h"

namespace {

const char* const kStartStatus = "Double click filename after a search to view the file";

// How often the window takes what the walk found and shows the folder it is
// in: 20 times a second is live enough and costs nothing.
constexpr int kPollMs = 50;
// Matches are handed over in batches of this many (and at every folder).
constexpr size_t kBatch = 512;

} // namespace

// What the worker hands the window; guarded by its mutex.
struct TfSearch::Shared {
    std::mutex m;
    std::vector<QByteArray> found;
    QByteArray folder;
    QStringList messages; // shown by the window, in order
    bool done = false;
};

TfSearch::TfSearch(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName("TfSearch");
    setWindowTitle("File Search");
    resize(345, 399);

    SearchFor = new QLineEdit("*.jpg");
    SearchFor->setObjectName("SearchFor");
    SearchFor->setToolTip("Several patterns are separated by \";\" (*.jpg;*.png)");
    // One click fills in every picture type the program reads.
    QAction* pictures = SearchFor->addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView),
                                             QLineEdit::TrailingPosition);
    pictures->setObjectName("AllPictures");
    pictures->setToolTip("Search for every picture type");
    connect(pictures, &QAction::triggered, this, [this] {
        SearchFor->setText(QString::fromStdString(PicturePatterns(";")));
    });
    auto* searchLabel = new QLabel("Search for");
    searchLabel->setBuddy(SearchFor);

    SearchGroup = new QGroupBox("Search");
    SearchGroup->setObjectName("SearchGroup");
    AllDrives = new QRadioButton("All Drives");
    AllDrives->setObjectName("AllDrives");
    SelectedDrive = new QRadioButton("Selected Drive");
    SelectedDrive->setObjectName("SelectedDrive");
    SelectedDrive->setChecked(true);
    auto* groupLayout = new QVBoxLayout(SearchGroup);
    groupLayout->addWidget(AllDrives);
    groupLayout->addWidget(SelectedDrive);

    DriveList = new QComboBox;
    DriveList->setObjectName("DriveList");
    // Long mount paths must not widen the window: the list elides them.
    DriveList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    DriveList->setMinimumContentsLength(12);
    FindBtn = new QPushButton("Find");
    FindBtn->setObjectName("FindBtn");
    StopBtn = new QPushButton("Stop");
    StopBtn->setObjectName("StopBtn");
    StopBtn->hide();

    Results = new QListView;
    Results->setObjectName("Results");
    ResultModel = new TSearchResultModel(this);
    Results->setModel(ResultModel);
    Results->setUniformItemSizes(true); // 100,000 rows lay out at once
    Results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Results->setTextElideMode(Qt::ElideLeft);

    StatusBar1 = new QStatusBar;
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel = new QLabel(kStartStatus);
    StatusPanel->setObjectName("StatusPanel");
    StatusPanel->setTextFormat(Qt::PlainText); // folder names are not markup
    // A deep folder's path must not stretch the window; it is cut instead.
    StatusPanel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    StatusBar1->addWidget(StatusPanel, 1);

    auto* top = new QGridLayout;
    top->addWidget(searchLabel, 0, 0);
    top->addWidget(SearchFor, 0, 1);
    top->addWidget(SearchGroup, 1, 0, 2, 1);
    top->addWidget(DriveList, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(FindBtn);
    buttons->addWidget(StopBtn);
    top->addLayout(buttons, 2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Results, 1);
    layout->addWidget(StatusBar1);

    connect(FindBtn, &QPushButton::clicked, this, &TfSearch::Find);
    connect(StopBtn, &QPushButton::clicked, this, &TfSearch::Stop);
    connect(SearchFor, &QLineEdit::returnPressed, this, &TfSearch::Find);
    connect(AllDrives, &QRadioButton::toggled, this, &TfSearch::UpdateScope);
    connect(Results, &QListView::doubleClicked, this,
            [this](const QModelIndex& i) { ResultActivated(i.row()); });
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &TfSearch::Poll);

    SetDrives(ListDrives());
    UpdateScope();
}

TfSearch::~TfSearch() {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
}

void TfSearch::SetDrives(std::vector<TDrive> drives) {
    drives_ = std::move(drives);
    DriveList->clear();
    for (const TDrive& d : drives_)
        DriveList->addItem(d.Entry());
    const int home = DriveOf(drives_, QDir::homePath());
    DriveList->setCurrentIndex(home >= 0 ? home : 0);
}

void TfSearch::UpdateScope() {
    DriveList->setEnabled(SelectedDrive->isChecked());
}

void TfSearch::TakeHandOver(const QString& folder, const QStringList&) {
    if (!running_ && !folder.isEmpty()) {
        const int d = DriveOf(drives_, folder);
        if (d >= 0) DriveList->setCurrentIndex(d);
    }
    show();
    raise();
    activateWindow();
}

void TfSearch::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    PlaceOnScreen(this);
}

void TfSearch::Find() {
    // Enter in the pattern while a search runs must not start another.
    if (running_) return;
    if (worker_.joinable()) worker_.join();

    std::vector<QByteArray> roots;
    const bool all = AllDrives->isChecked();
    if (all) {
        for (const TDrive& d : drives_)
            roots.push_back(QFile::encodeName(d.root));
    } else if (DriveList->currentIndex() >= 0 && DriveList->currentIndex() < int(drives_.size())) {
        roots.push_back(QFile::encodeName(drives_[size_t(DriveList->currentIndex())].root));
    }

    ResultModel->Clear();
    Results->repaint();
    setCursor(Qt::BusyCursor);
    FindBtn->hide();
    StopBtn->show();
    running_ = true;
    stop_ = false;

    auto shared = std::make_shared<Shared>();
    shared_ = shared;
    const QString pattern = SearchFor->text();
    const TSearchSeams seams = Seams;
    const std::size_t cap = Cap;
    worker_ = std::thread([shared, roots, all, pattern, seams, cap, this] {
        TSearchWalk walk(pattern);
        walk.stop = &stop_;
        walk.seams = seams;
        walk.cap = cap;
        std::vector<QByteArray> batch;
        auto flush = [&](const QByteArray* folder) {
            std::lock_guard<std::mutex> lock(shared->m);
            for (QByteArray& p : batch)
                shared->found.push_back(std::move(p));
            batch.clear();
            if (folder) shared->folder = *folder;
        };
        walk.onFound = [&](QByteArray&& p) {
            batch.push_back(std::move(p));
            if (batch.size() >= kBatch) flush(nullptr);
        };
        walk.onFolder = [&](const QByteArray& folder) { flush(&folder); };
        for (const QByteArray& root : roots) {
            if (stop_) break;
            int error = 0;
            const TSearchEnd end = walk.Walk(root, &error);
            flush(nullptr);
            if (end == TSearchEnd::Stopped) break;
            if (end == TSearchEnd::CapReached) {
                std::lock_guard<std::mutex> lock(shared->m);
                shared->messages << "Number of files exceeds list box capacity.";
            } else if (end == TSearchEnd::RootFailed && !all) {
                // "All Drives" passes over a drive it cannot enter; the one
                // chosen drive says why.
                std::lock_guard<std::mutex> lock(shared->m);
                shared->messages << QFile::decodeName(root) + ": " +
                                        QString::fromStdString(FileErrorText(error));
            }
        }
        std::lock_guard<std::mutex> lock(shared->m);
        shared->done = true;
    });
    poll_.start();
}

void TfSearch::Poll() {
    if (polling_ || !shared_) return; // a message box of ours is open
    polling_ = true;
    std::vector<QByteArray> found;
    QByteArray folder;
    QStringList messages;
    bool done = false;
    {
        std::lock_guard<std::mutex> lock(shared_->m);
        found.swap(shared_->found);
        folder = shared_->folder;
        messages.swap(shared_->messages);
        done = shared_->done;
    }
    if (!found.empty()) {
        std::vector<QString> names;
        names.reserve(found.size());
        for (const QByteArray& p : found)
            names.push_back(QFile::decodeName(p));
        ResultModel->AddBatch(std::move(names));
    }
    if (!done && !folder.isEmpty()) StatusPanel->setText(QFile::decodeName(folder));
    for (const QString& m : messages)
        MessageDlg(m, QMessageBox::Information, QMessageBox::Ok, this);
    polling_ = false;
    if (done && running_) Finish();
}

void TfSearch::Stop() {
    if (!running_) return;
    stop_ = true;
    // The walk checks the flag between files: it ends at once.
    if (worker_.joinable()) worker_.join();
    Poll(); // the matches found before the stop stay
    if (running_) Finish();
}

void TfSearch::Finish() {
    if (worker_.joinable()) worker_.join();
    poll_.stop();
    StopBtn->hide();
    FindBtn->show();
    running_ = false;
    unsetCursor();
    StatusPanel->setText(QString::number(ResultModel->Count()) +
                         " files found - Double click filename to view.");
    emit SearchEnded();
}

void TfSearch::ResultActivated(int row) {
    if (running_ || row < 0 || row >= ResultModel->Count()) return;
    ShowResult(ResultModel->Path(row));
}

void TfSearch::ShowResult(const QString& path) {
    TBrowserContext* b = Browser();
    if (!b) return;
    TWaitCursor wait;
    const qsizetype slash = path.lastIndexOf('/');
    const QString folder = slash <= 0 ? QStringLiteral("/") : path.left(slash);
    const QString name = path.mid(slash + 1);
    if (b->OpenFolder(folder)) b->SelectRow(FindResultRow(b->ListedNames(), name));
    b->ShowInPreview(path);
}

void TfSearch::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        Stop();
        e->accept();
        return;
    }
    QWidget::keyPressEvent(e);
}

void TfSearch::closeEvent(QCloseEvent* e) {
    Stop();
    QWidget::closeEvent(e);
}

void TfSearch::hideEvent(QHideEvent* e) {
    // Minimising hides the window too (spontaneously): the search goes on.
    if (!e->spontaneous()) Stop();
    QWidget::hideEvent(e);
}
