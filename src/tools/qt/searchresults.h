#pragma once
// The search window's results: full paths in the list box's case-insensitive
// order. Batches from the walk are sorted and merged in, so a search of
// 100,000 files costs a sort per batch and a merge, not a sorted insert per
// line; selections and the current row follow their paths.

#include <QAbstractListModel>
#include <QStringList>
#include <vector>

class TSearchResultModel : public QAbstractListModel {
    Q_OBJECT
  public:
    explicit TSearchResultModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void Clear();
    // Adds paths (any order).
    void AddBatch(std::vector<QString> batch);
    const QString& Path(int row) const { return paths_[size_t(row)]; }
    int Count() const { return int(paths_.size()); }

  private:
    std::vector<QString> paths_;
};
