#include "forms/file_list.h"

#include "core/runtime_error.h"
#include "forms/file_list_model.h"
#include "forms/key_repeat_folding.h"
#include "forms/listing_handoff.h"
#include "platform/fs/folder_listing.h"

#include <QEvent>
#include <QFocusEvent>
#include <QItemSelectionModel>
#include <QListView>
#include <QTimer>

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

FileList::FileList(QWidget* parent)
    : Control(new FileListView(parent)), view_(static_cast<QListView*>(widget())),
      model_(new FileListModel(view_)) {
    view_->setModel(model_);
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
    view_->viewport()->installEventFilter(new BeforePaint(view_, [this] { ensureListed(); }));
    // A click, a key that moves the selection or type-ahead selects a row; that choice is the
    // Click. Focus and re-reads only move or clear the current row, which raises nothing.
    QObject::connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, view_,
                     [this](const QItemSelection& selected, const QItemSelection&) {
                         if (rereading_ || selected.isEmpty()) {
                             return;
                         }
                         runGuarded([this] { Click.raise(); });
                     });
}

FileList::~FileList() {
    ListingHandoff::instance().forget(this);
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
    invalidate();
}

void FileList::invalidate() {
    ListingHandoff::instance().fileListPending(this, path_, [this] { ensureListed(); });
    if (!stale_) {
        stale_ = true;
        // Left to itself, the list is brought up to date once the current action is over.
        QTimer::singleShot(0, view_, [this] { ensureListed(); });
    }
}

void FileList::ensureListed() const {
    if (stale_) {
        stale_ = false;
        ListingHandoff::instance().fileListDone(this);
        reread();
    }
}

void FileList::reread() const {
    ++listings_;
    std::vector<QString> names;
    if (!path_.isEmpty()) {
        ListFlags flags;
        flags.normal = normal_ != False;
        flags.archive = archive_ != False;
        flags.system = system_ != False;
        flags.hidden = hidden_ != False;
        flags.readOnly = readOnly_ != False;
        try {
            // The folder list may be waiting for this very folder's subfolders.
            ListingHandoff& handoff = ListingHandoff::instance();
            std::vector<ListedFile> files;
            if (handoff.wantsSubfolders(path_)) {
                FolderContents contents = listFolder(path_, pattern_, flags);
                files = std::move(contents.files);
                handoff.deliver(path_, std::move(contents.subfolders));
            } else {
                files = listFiles(path_, pattern_, flags);
            }
            names.reserve(files.size());
            for (ListedFile& f : files) {
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
    ensureListed();
    const int row = ListIndex();
    return row >= 0 ? model_->nameAt(row) : QString();
}

std::int32_t FileList::ListCount() const {
    ensureListed();
    return model_->rowCount();
}

std::int32_t FileList::ListIndex() const {
    ensureListed();
    const QModelIndexList selected = view_->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void FileList::setListIndex(std::int32_t index) {
    ensureListed();
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
    ensureListed();
    return index >= 0 && index < ListCount() ? model_->nameAt(index) : QString();
}

} // namespace zelvia::rt
