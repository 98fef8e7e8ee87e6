#include "runtime/controls/file_list.h"

#include "runtime/controls/file_list_model.h"
#include "runtime/fs/folder_listing.h"
#include "runtime/runtime_error.h"

#include <QItemSelectionModel>
#include <QListView>
#include <QSignalBlocker>

namespace zelvia::rt {

FileList::FileList(QWidget* parent)
    : Control(new QListView(parent)), view_(static_cast<QListView*>(widget())),
      model_(new FileListModel(view_)) {
    view_->setModel(model_);
    view_->setUniformItemSizes(true);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setTextElideMode(Qt::ElideMiddle);
    view_->setFocusPolicy(Qt::StrongFocus);
    view_->setAccessibleName(QStringLiteral("ファイル一覧"));
    watchMouse(view_->viewport(), 1.0, 1.0, Release::PassOn);
    ignoreRightPress(view_->viewport());
    QObject::connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, view_,
                     [this](const QModelIndex& current, const QModelIndex&) {
                         if (rereading_ || !current.isValid()) {
                             return;
                         }
                         view_->selectionModel()->select(current,
                                                         QItemSelectionModel::ClearAndSelect);
                         runGuarded([this] { Click.raise(); });
                     });
}

FileList::~FileList() = default;

void FileList::setPath(const QString& path) {
    path_ = path;
    reread();
}

void FileList::setPattern(const QString& pattern) {
    pattern_ = pattern;
    reread();
}

void FileList::setNormal(Boolean on) {
    normal_ = on;
    reread();
}

void FileList::setArchive(Boolean on) {
    archive_ = on;
    reread();
}

void FileList::setSystem(Boolean on) {
    system_ = on;
    reread();
}

void FileList::setHidden(Boolean on) {
    hidden_ = on;
    reread();
}

void FileList::setReadOnly(Boolean on) {
    readOnly_ = on;
    reread();
}

void FileList::Refresh() {
    reread();
}

void FileList::reread() {
    std::vector<QString> names;
    if (!path_.isEmpty()) {
        ListFlags flags;
        flags.normal = normal_ != False;
        flags.archive = archive_ != False;
        flags.system = system_ != False;
        flags.hidden = hidden_ != False;
        flags.readOnly = readOnly_ != False;
        try {
            for (ListedFile& f : listFiles(path_, pattern_, flags)) {
                names.push_back(std::move(f.name));
            }
        } catch (const RuntimeError&) {
            // A folder that cannot be read (no permission, medium gone, deleted while open)
            // simply lists nothing; the folder list stays usable.
            names.clear();
        }
    }
    rereading_ = true;
    model_->setNames(std::move(names));
    view_->selectionModel()->clear();
    rereading_ = false;
}

QString FileList::FileName() const {
    const int row = ListIndex();
    return row >= 0 ? model_->nameAt(row) : QString();
}

std::int32_t FileList::ListCount() const {
    return model_->rowCount();
}

std::int32_t FileList::ListIndex() const {
    const QModelIndexList selected = view_->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void FileList::setListIndex(std::int32_t index) {
    rereading_ = true;
    if (index < 0 || index >= ListCount()) {
        view_->selectionModel()->clear();
    } else {
        const QModelIndex idx = model_->index(index);
        view_->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect);
        view_->scrollTo(idx);
    }
    rereading_ = false;
    Click.raise();
}

QString FileList::List(std::int32_t index) const {
    return index >= 0 && index < ListCount() ? model_->nameAt(index) : QString();
}

} // namespace zelvia::rt
