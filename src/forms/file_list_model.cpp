#include "forms/file_list_model.h"

#include "core/native_path.h"

#include <algorithm>

namespace zelvia::rt {

void FileListModel::setNames(std::vector<QString> names) {
    beginResetModel();
    names_ = std::move(names);
    endResetModel();
}

int FileListModel::rowOf(const QString& name) const {
    const auto found = std::find(names_.begin(), names_.end(), name);
    return found == names_.end() ? -1 : static_cast<int>(found - names_.begin());
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(names_.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount()) {
        return {};
    }
    // No tooltip of its own: over the entries the list's tooltip stays visible.
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
        // Shown as a person can read it: undecodable bytes as U+FFFD, line breaks as a symbol.
        QString shown = displayFileName(names_[static_cast<size_t>(index.row())]);
        shown.replace(QLatin1Char('\n'), QChar(0x21B5));
        return shown;
    }
    return {};
}

} // namespace zelvia::rt
