#include "tools/qt/searchresults.h"

#include <algorithm>

#include "tools/filesearch.h"

TSearchResultModel::TSearchResultModel(QObject* parent) : QAbstractListModel(parent) {}

int TSearchResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(paths_.size());
}

QVariant TSearchResultModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(paths_.size())) return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return paths_[size_t(index.row())];
    return {};
}

void TSearchResultModel::Clear() {
    beginResetModel();
    paths_.clear();
    endResetModel();
}

void TSearchResultModel::AddBatch(std::vector<QString> batch) {
    if (batch.empty()) return;
    std::sort(batch.begin(), batch.end(), SearchResultLess);
    if (paths_.empty() || !SearchResultLess(batch.front(), paths_.back())) {
        // The common case while one folder tree is walked in order: append.
        const int first = int(paths_.size());
        beginInsertRows({}, first, first + int(batch.size()) - 1);
        paths_.insert(paths_.end(), std::make_move_iterator(batch.begin()),
                      std::make_move_iterator(batch.end()));
        endInsertRows();
        return;
    }
    emit layoutAboutToBeChanged();
    // Where each remembered row goes: it moves down by the number of new
    // paths sorted before it.
    const QModelIndexList persistent = persistentIndexList();
    std::vector<int> moved;
    moved.reserve(size_t(persistent.size()));
    for (const QModelIndex& i : persistent) {
        const QString& p = paths_[size_t(i.row())];
        moved.push_back(
            i.row() +
            int(std::lower_bound(batch.begin(), batch.end(), p, SearchResultLess) - batch.begin()));
    }
    std::vector<QString> merged;
    merged.reserve(paths_.size() + batch.size());
    std::merge(std::make_move_iterator(paths_.begin()), std::make_move_iterator(paths_.end()),
               std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()),
               std::back_inserter(merged), SearchResultLess);
    paths_ = std::move(merged);
    for (qsizetype k = 0; k < persistent.size(); ++k)
        changePersistentIndex(persistent[k], index(moved[size_t(k)], 0));
    emit layoutChanged();
}
