#pragma once

#include <QAbstractListModel>
#include <QString>
#include <vector>

namespace zelvia::rt {

// The entries of the file list: names only, one row each; no widget item per file, so
// folders of a hundred thousand files stay smooth.
class FileListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    void setNames(std::vector<QString> names);
    [[nodiscard]] const QString& nameAt(int row) const { return names_[static_cast<size_t>(row)]; }
    // The row of the entry named `name`, or -1.
    [[nodiscard]] int rowOf(const QString& name) const;

    [[nodiscard]] int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<QString> names_;
};

} // namespace zelvia::rt
