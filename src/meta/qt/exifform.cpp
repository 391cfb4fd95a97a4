#include "meta/qt/exifform.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTreeView>
#include <QVBoxLayout>

#include "browser/browsercontext.h"
#include "browser/form1.h"
#include "core/exceptions.h"
#include "meta/exif/exiffile.h"
#include "platform/paths.h"
#include "platform/prompts.h"
#include "platform/windowplace.h"

// ---- the list's rows

int TExifListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int TExifListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant TExifListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(rows_.size())) return {};
    const TRow& r = rows_[size_t(index.row())];
    const QString& text = index.column() == 0 ? r.Description : r.Value;
    if (role == Qt::UserRole) return text;
    if (role != Qt::DisplayRole) return {};
    // Laying out a text of a quarter of a million characters on every
    // repaint would stall the list; nobody reads that far across a cell.
    if (text.size() > kShownChars) return text.left(kShownChars) + QChar(0x2026);
    return text;
}

QVariant TExifListModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == 0 ? QStringLiteral("Description") : QStringLiteral("Value");
}

void TExifListModel::SetRows(std::vector<TRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

// ---- the window

TfrmEXIF::TfrmEXIF(QWidget* parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
    setObjectName("TfrmEXIF");
    setWindowTitle("EXIF Data");
    resize(339, 600);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    model_ = new TExifListModel(this);
    ListView1 = new QTreeView(this);
    ListView1->setObjectName("ListView1");
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSortingEnabled(false);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setTextElideMode(Qt::ElideRight);
    ListView1->setModel(model_);
    ListView1->header()->setStretchLastSection(false);
    ListView1->setColumnWidth(0, 158);
    ListView1->setColumnWidth(1, 400);
    QPalette pal = ListView1->palette();
    pal.setColor(QPalette::Base, QColor(255, 254, 234)); // 15400703
    ListView1->setPalette(pal);
    layout->addWidget(ListView1);

    auto* copy = new QAction(this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, this, &TfrmEXIF::CopySelection);
    ListView1->addAction(copy);

    Follow(Browser());
}

void TfrmEXIF::Follow(TBrowserContext* browser) {
    if (!browser || (browser == followed_ && followedWindow_)) return;
    followed_ = browser;
    followedWindow_ = browser->Window();
    browser->WatchSelection(this, [this] { ListSelectionChanged(); });
}

void TfrmEXIF::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    Follow(Browser());
    PlaceOnScreen(this);
}

void TfrmEXIF::ShowFile(const QString& fileName) {
    show();
    raise();
    Read(fileName);
}

void TfrmEXIF::Read(const QString& fileName) {
    fileName_ = fileName;
    model_->SetRows({});
    std::vector<TExifListModel::TRow> rows;
    try {
        ReadExifFile(QFile::encodeName(fileName).toStdString(), [&](const TExifRow& r) {
            rows.push_back({QString::fromStdString(r.Description),
                            QString::fromStdString(r.Text.empty() ? r.Value : r.Text)});
        });
    } catch (const Exception& e) {
        MessageDlg(QString::fromStdString(e.Message()), QMessageBox::Critical, QMessageBox::Ok,
                   this);
        return;
    }
    // A picture without EXIF data says so instead of an empty table.
    if (rows.empty()) rows.push_back({QString(kNoExifData), QString()});
    model_->SetRows(std::move(rows));
    ListView1->viewport()->update();
}

void TfrmEXIF::ListSelectionChanged() {
    // Only while the window is open, and only for another file: the same
    // file selected again (the list refilled, zoom commands) is not re-read.
    if (!isVisible() || !followed_ || !followedWindow_) return;
    const QStringList selected = followed_->SelectedNames();
    if (selected.size() != 1) return;
    const QString path = AddBackslash(followed_->ListedFolder()) + selected.first();
    if (path == fileName_) return;
    Read(path);
}

QString TfrmEXIF::SelectedText() const {
    QString text;
    const QModelIndexList rows = ListView1->selectionModel()->selectedRows();
    std::vector<int> order;
    for (const QModelIndex& i : rows) order.push_back(i.row());
    std::sort(order.begin(), order.end());
    for (int r : order) {
        const auto& row = model_->Rows()[size_t(r)];
        text += row.Description + '\t' + row.Value + '\n';
    }
    return text;
}

void TfrmEXIF::CopySelection() {
    const QString text = SelectedText();
    if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}
