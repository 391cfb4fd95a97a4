#include "browser/foldertree.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>

TFolderTree::TFolderTree(QWidget* parent) : QTreeView(parent) {
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);
    Build();
}

void TFolderTree::Build() {
    auto* old = fs_;
    fs_ = new QFileSystemModel(this);
    fs_->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    fs_->setReadOnly(true);
    fs_->setRootPath(QStringLiteral("/"));
    setModel(fs_);
    for (int c = 1; c < fs_->columnCount(); ++c)
        hideColumn(c);
    delete old;
    // The root is the first selection; a view would otherwise pick a node by
    // itself when it first gets the focus and list it unasked.
    setCurrentIndex(fs_->index(QStringLiteral("/")));
    // Folders load in the background; once the selected folder's parents
    // have arrived, bring the selection into view.
    // The model also sorts what it loaded a moment later, which moves the
    // rows again: follow that too.
    auto keepInView = [this] {
        if (pendingPath_.isEmpty() || !currentIndex().isValid()) return;
        scrollTo(currentIndex(), QAbstractItemView::PositionAtCenter);
    };
    connect(fs_, &QFileSystemModel::directoryLoaded, this, keepInView);
    connect(fs_, &QFileSystemModel::layoutChanged, this, keepInView, Qt::QueuedConnection);
    // Keyboard steps work from the current row: it must survive whatever
    // the background loading does to the rows.
    auto keep = [this] { KeepCurrent(); };
    connect(fs_, &QAbstractItemModel::layoutChanged, this, keep, Qt::QueuedConnection);
    connect(fs_, &QAbstractItemModel::rowsRemoved, this, keep, Qt::QueuedConnection);
    connect(fs_, &QAbstractItemModel::rowsInserted, this, keep, Qt::QueuedConnection);
    connect(fs_, &QAbstractItemModel::modelReset, this, keep, Qt::QueuedConnection);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& cur) {
                if (!cur.isValid() || restoring_) return;
                const QString path = fs_->filePath(cur);
                if (path == currentPath_) return;
                // Only the user (or a folder chosen by the program) moves
                // the current folder: when folders come and go around it
                // while the model reloads, the view may move its current row
                // by itself. That is put back, never listed.
                if (choosing_ == 0) {
                    QMetaObject::invokeMethod(this, [this] { KeepCurrent(); },
                                              Qt::QueuedConnection);
                    return;
                }
                currentPath_ = path;
                emit FolderChanged(currentPath_);
            });
}

void TFolderTree::KeepCurrent() {
    if (currentPath_.isEmpty()) return;
    const QModelIndex cur = currentIndex();
    const bool lost = !cur.isValid() || fs_->filePath(cur) != currentPath_;
    if (lost) {
        const QModelIndex i = fs_->index(currentPath_);
        // Gone for good: the list keeps showing it until the user moves on.
        if (!i.isValid()) return;
        restoring_ = true;
        selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect);
        restoring_ = false;
    } else if (!selectionModel()->isSelected(cur)) {
        selectionModel()->select(cur, QItemSelectionModel::ClearAndSelect);
    }
    if (pendingPath_.isEmpty()) scrollTo(currentIndex(), QAbstractItemView::EnsureVisible);
}

QString TFolderTree::SelectedFolder() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? fs_->filePath(i) : QString();
}

bool TFolderTree::SelectFolder(const QString& path) {
    const QModelIndex i = fs_->index(QDir::cleanPath(QDir(path).absolutePath()));
    if (!i.isValid()) {
        // No node (a hidden folder): the tree selects nothing rather than
        // go on showing another folder, so that whoever asks for "the
        // tree's folder" falls back on the folder the list shows.
        restoring_ = true;
        selectionModel()->clear();
        restoring_ = false;
        currentPath_.clear();
        pendingPath_.clear();
        return false;
    }
    const TChoosing choosing(choosing_);
    for (QModelIndex p = i.parent(); p.isValid(); p = p.parent())
        expand(p);
    setCurrentIndex(i);
    pendingPath_ = fs_->filePath(i);
    scrollTo(i, QAbstractItemView::PositionAtCenter);
    return true;
}

void TFolderTree::Refresh() {
    const QString keep = SelectedFolder();
    const QSignalBlocker block(this);
    Build();
    if (!keep.isEmpty()) SelectFolder(keep);
}

// Until the user moves around in the tree himself, keep the folder selected
// by the program in view while folders load and the view gets its size.
void TFolderTree::resizeEvent(QResizeEvent* e) {
    QTreeView::resizeEvent(e);
    if (!pendingPath_.isEmpty() && currentIndex().isValid())
        scrollTo(currentIndex(), QAbstractItemView::PositionAtCenter);
}

void TFolderTree::showEvent(QShowEvent* e) {
    QTreeView::showEvent(e);
    if (!pendingPath_.isEmpty() && currentIndex().isValid())
        QMetaObject::invokeMethod(
            this, [this] { scrollTo(currentIndex(), QAbstractItemView::PositionAtCenter); },
            Qt::QueuedConnection);
}

void TFolderTree::mousePressEvent(QMouseEvent* e) {
    pendingPath_.clear();
    const TChoosing choosing(choosing_);
    QTreeView::mousePressEvent(e);
}

void TFolderTree::mouseMoveEvent(QMouseEvent* e) {
    const TChoosing choosing(choosing_);
    QTreeView::mouseMoveEvent(e);
}

void TFolderTree::mouseReleaseEvent(QMouseEvent* e) {
    const TChoosing choosing(choosing_);
    QTreeView::mouseReleaseEvent(e);
}

void TFolderTree::mouseDoubleClickEvent(QMouseEvent* e) {
    const TChoosing choosing(choosing_);
    QTreeView::mouseDoubleClickEvent(e);
}

void TFolderTree::wheelEvent(QWheelEvent* e) {
    pendingPath_.clear();
    QTreeView::wheelEvent(e);
}

void TFolderTree::keyPressEvent(QKeyEvent* e) {
    pendingPath_.clear();
    // A step from a lost row would start at the top ("/"): from the
    // current folder instead.
    KeepCurrent();
    const TChoosing choosing(choosing_);
    QTreeView::keyPressEvent(e);
    if (currentIndex().isValid()) scrollTo(currentIndex(), QAbstractItemView::EnsureVisible);
}
