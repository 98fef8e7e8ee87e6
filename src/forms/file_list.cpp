#include "forms/file_list.h"

#include "forms/file_list_model.h"
#include "forms/folder_model.h"
#include "forms/key_repeat_folding.h"

#include <QEvent>
#include <QFocusEvent>
#include <QItemSelectionModel>
#include <QListView>

namespace zelvia::rt {

namespace {

// Only the user chooses an entry. Qt's item views make the first row current when they receive
// the focus without a current row (start, Tab, a menu or dialog closing, the window being
// activated); that row would then be the one Down moves away from, or one a later focus-in turns
// into a choice. A list without a choice keeps no current row, and a choice is never taken back
// by Ctrl+click: a list box always holds the user's last choice.
class FileListView final : public QListView {
public:
    using QListView::QListView;

protected:
    void focusInEvent(QFocusEvent* event) override {
        const bool hadCurrent = currentIndex().isValid();
        QListView::focusInEvent(event);
        if (!hadCurrent && currentIndex().isValid() && selectionModel()->selectedRows().isEmpty()) {
            selectionModel()->clearCurrentIndex();
        }
    }

    [[nodiscard]] QItemSelectionModel::SelectionFlags
    selectionCommand(const QModelIndex& index, const QEvent* event) const override {
        const QItemSelectionModel::SelectionFlags command =
            QListView::selectionCommand(index, event);
        return command.testFlag(QItemSelectionModel::Deselect) ? QItemSelectionModel::NoUpdate
                                                               : command;
    }
};

} // namespace

FileList::FileList(QWidget* parent, FolderModel& model)
    : Control(new FileListView(parent)), view_(static_cast<QListView*>(widget())), model_(model) {
    view_->setModel(model_.files());
    view_->setUniformItemSizes(true);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setTextElideMode(Qt::ElideMiddle);
    view_->setFocusPolicy(Qt::StrongFocus);
    view_->setAccessibleName(QStringLiteral("ファイル一覧"));
    // Every move runs the display procedure: a held key must not leave a backlog of moves.
    foldKeyRepeats(view_);
    watchMouse(view_->viewport(), 1.0, 1.0, Release::PassOn);
    ignoreRightPress(view_->viewport());
    // A click, a key that moves the selection or type-ahead selects a row; that choice is the
    // Click. Focus and re-reads only move or clear the current row, which raises nothing.
    QObject::connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, view_,
                     [this](const QItemSelection& selected, const QItemSelection&) {
                         if (!choosing_ && !selected.isEmpty()) {
                             userChose(selected.indexes().first().row());
                         }
                     });
}

void FileList::setPath(const QString& path) {
    path_ = path;
    invalidate();
}

void FileList::setPattern(const QString& pattern) {
    pattern_ = pattern;
    invalidate();
}

void FileList::setNormal(Boolean on) {
    normal_ = on;
    invalidate();
}

void FileList::setArchive(Boolean on) {
    archive_ = on;
    invalidate();
}

void FileList::setSystem(Boolean on) {
    system_ = on;
    invalidate();
}

void FileList::setHidden(Boolean on) {
    hidden_ = on;
    invalidate();
}

void FileList::setReadOnly(Boolean on) {
    readOnly_ = on;
    invalidate();
}

void FileList::Refresh() {
    model_.markFilesOutOfDate();
}

void FileList::invalidate() {
    ListFlags flags;
    flags.normal = normal_ != False;
    flags.archive = archive_ != False;
    flags.system = system_ != False;
    flags.hidden = hidden_ != False;
    flags.readOnly = readOnly_ != False;
    model_.setFileQuery(path_, pattern_, flags);
}

void FileList::userChose(int row) {
    if (model_.filesOutOfDate()) {
        // The rows on screen predate the last write. The user aimed at the file shown there,
        // which the new list holds at another row or not at all: never take the file that now
        // sits at that row.
        const QString name = model_.files()->nameAt(row);
        model_.update();
        row = model_.files()->rowOf(name);
        if (row < 0) {
            return;
        }
        choosing_ = true;
        view_->selectionModel()->setCurrentIndex(model_.files()->index(row),
                                                 QItemSelectionModel::ClearAndSelect);
        choosing_ = false;
    }
    runGuarded([this] { Click.raise(); });
}

std::uint64_t FileList::listingCount() const {
    return model_.fileListings();
}

QString FileList::FileName() {
    const int row = ListIndex();
    return row >= 0 ? model_.files()->nameAt(row) : QString();
}

std::int32_t FileList::ListCount() {
    model_.update();
    return model_.files()->rowCount();
}

std::int32_t FileList::ListIndex() {
    model_.update();
    const QModelIndexList selected = view_->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void FileList::setListIndex(std::int32_t index) {
    choosing_ = true;
    if (index < 0 || index >= ListCount()) {
        view_->selectionModel()->clear();
    } else {
        const QModelIndex idx = model_.files()->index(index);
        view_->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect);
        view_->scrollTo(idx);
    }
    choosing_ = false;
    Click.raise();
}

QString FileList::List(std::int32_t index) {
    return index >= 0 && index < ListCount() ? model_.files()->nameAt(index) : QString();
}

} // namespace zelvia::rt
