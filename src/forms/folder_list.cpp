#include "forms/folder_list.h"

#include "core/native_path.h"
#include "core/runtime_error.h"
#include "forms/drive_list.h"
#include "forms/folder_model.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListView>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <functional>

namespace zelvia::rt {

namespace {

// Draws each entry, icon and name, moved right by the indent `indent` gives for its row. The
// name stays the entry's text, so type-ahead finds it; it is never cut short, and the horizontal
// scroll bar reaches its end.
class IndentDelegate final : public QStyledItemDelegate {
public:
    IndentDelegate(QObject* parent, std::function<int(int row)> indent)
        : QStyledItemDelegate(parent), indent_(std::move(indent)) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem moved(option);
        moved.rect.setLeft(option.rect.left() + indent_(index.row()));
        QStyledItemDelegate::paint(painter, moved, index);
    }
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent_(index.row()), 0);
    }

private:
    std::function<int(int row)> indent_;
};

// Raises 53 when the folder is gone and 75 when it cannot be read.
void requireReadableFolder(const QString& folder) {
    const QByteArray native = encodeFileName(folder);
    DIR* dir = ::opendir(native.constData());
    if (dir == nullptr) {
        throw RuntimeError(errno == ENOENT || errno == ENOTDIR ? err::FileNotFound
                                                               : err::PathAccess);
    }
    ::closedir(dir);
}

// Whether the folder can be opened and its entries read.
bool canList(const QString& folder) {
    const QByteArray native = encodeFileName(folder);
    DIR* dir = ::opendir(native.constData());
    if (dir == nullptr) {
        return false;
    }
    errno = 0;
    const bool ok = ::readdir(dir) != nullptr || errno == 0;
    ::closedir(dir);
    return ok;
}

bool isUnder(const QString& path, const QString& root) {
    if (root == QLatin1String("/")) {
        return path.startsWith(QLatin1Char('/'));
    }
    return path == root || (path.startsWith(root) && path.size() > root.size() &&
                            path[root.size()] == QLatin1Char('/'));
}

// Enter in the folder list opens the current entry, as a double-click does.
class EnterFilter final : public QObject {
public:
    EnterFilter(QObject* parent, std::function<void()> onEnter)
        : QObject(parent), onEnter_(std::move(onEnter)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                onEnter_();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> onEnter_;
};

} // namespace

FolderList::FolderList(QWidget* parent, FolderModel& model)
    : Control(new QListView(parent)), view_(static_cast<QListView*>(widget())), model_(model) {
    view_->setModel(model_.folders());
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setFocusPolicy(Qt::StrongFocus);
    view_->setAccessibleName(QStringLiteral("フォルダ一覧"));
    view_->setItemDelegate(new IndentDelegate(view_, [this](int row) { return indentOfRow(row); }));
    view_->setTextElideMode(Qt::ElideNone);
    watchMouse(view_->viewport(), 1.0, 1.0, Release::PassOn);
    ignoreRightPress(view_->viewport());
    // A folder the user made current in rows a folder change has outdated (a click, a key,
    // type-ahead) stays current when the new rows show it; otherwise the open folder is.
    QObject::connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, view_,
                     [this](const QModelIndex& current) {
                         if (model_.foldersOutOfDate()) {
                             aimedAt_ = model_.folderAt(current.row());
                         }
                     });
    QObject::connect(&model_, &FolderModel::foldersListed, view_, [this] {
        const int aimed = aimedAt_.isEmpty() ? -1 : model_.folderRow(aimedAt_);
        aimedAt_.clear();
        const int row = aimed >= 0 ? aimed : model_.openFolderRow();
        view_->setCurrentIndex(model_.folders()->index(row, 0));
    });
    // The folder opened is the one shown in the row the user aimed at, also when the rows on
    // screen are about to be replaced by those of a folder opened just before.
    QObject::connect(
        view_, &QAbstractItemView::doubleClicked, view_,
        [this](const QModelIndex& index) { openChosen(model_.folderAt(index.row())); });
    view_->installEventFilter(new EnterFilter(view_, [this] {
        const QModelIndex current = view_->currentIndex();
        openChosen(current.isValid() ? model_.folderAt(current.row()) : QString());
    }));
}

QString FolderList::folderForDrive(const QString& root) const {
    const auto last = lastFolderOfDrive_.find(root);
    if (last != lastFolderOfDrive_.end()) {
        for (QString f = last->second; f != root && isUnder(f, root); f = parentFolderOf(f)) {
            if (canList(f)) {
                return f;
            }
        }
    }
    if (!canList(root)) {
        requireReadableFolder(root);
        throw RuntimeError(err::PathAccess);
    }
    return root;
}

void FolderList::setPath(const QString& value) {
    const QString drive = drives_ != nullptr ? drives_->mountPointOf(value) : QString();
    if (!drive.isEmpty()) {
        const QString folder = folderForDrive(drive);
        root_ = drive;
        open(folder);
        Change.raise();
        return;
    }
    QString folder = value;
    if (folder.isEmpty()) {
        throw RuntimeError(err::FileNotFound);
    }
    if (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) {
        folder.chop(1);
    }
    requireReadableFolder(folder);
    if (root_.isEmpty() || !isUnder(folder, root_)) {
        root_ = drives_ != nullptr ? drives_->rootOf(folder) : QStringLiteral("/");
    }
    open(folder);
    Change.raise();
}

void FolderList::setInitialPath(const QString& folder) {
    root_ = drives_ != nullptr ? drives_->rootOf(folder) : QStringLiteral("/");
    open(folder);
}

void FolderList::openEntry(std::int32_t index) {
    openChosen(List(index));
}

void FolderList::openChosen(const QString& folder) {
    if (folder.isEmpty()) {
        return;
    }
    runGuarded([&] {
        try {
            requireReadableFolder(folder);
        } catch (const RuntimeError& e) {
            if (e.number() == err::FileNotFound) {
                // Removed behind our back: show what is there now and stay.
                model_.markFoldersOutOfDate();
                model_.update();
                return;
            }
            // Unreadable folders still open; they just list nothing.
        }
        open(folder);
        Change.raise();
    });
}

void FolderList::open(const QString& folder) {
    path_ = folder;
    if (root_.isEmpty() || !isUnder(folder, root_)) {
        root_ = QStringLiteral("/");
    }
    // A folder that cannot be listed is shown but not returned to.
    if (canList(folder)) {
        lastFolderOfDrive_[root_] = folder;
    }
    model_.setOpenFolder(path_, root_);
}

std::int32_t FolderList::ListCount() {
    model_.update();
    return model_.folders()->rowCount();
}

QString FolderList::List(std::int32_t index) {
    model_.update();
    return model_.folderAt(index);
}

int FolderList::indentOf(std::int32_t index) {
    model_.update();
    return indentOfRow(index);
}

int FolderList::indentOfRow(int row) const {
    // Two blanks a level; in a deep chain (a link loop reaches dozens of levels) less, so that
    // even the deepest name starts in the left half of the list.
    const int deepest = std::max(1, model_.openFolderRow() + 1);
    const int step = std::min(view_->fontMetrics().horizontalAdvance(QStringLiteral("  ")),
                              view_->viewport()->width() / 2 / deepest);
    return model_.levelAt(row) * step;
}

std::int32_t FolderList::ListIndex() {
    model_.update();
    return view_->currentIndex().isValid() ? view_->currentIndex().row() : -1;
}

} // namespace zelvia::rt
