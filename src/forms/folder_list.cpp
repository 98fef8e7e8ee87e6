#include "forms/folder_list.h"

#include "core/native_path.h"
#include "core/runtime_error.h"
#include "forms/drive_list.h"
#include "forms/listing_handoff.h"
#include "platform/fs/folder_listing.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QListView>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <dirent.h>

namespace zelvia::rt {

namespace {

constexpr int kPathRole = Qt::UserRole + 1;
constexpr int kIndentRole = Qt::UserRole + 2;

// Draws each entry, icon and name, moved right by its indent. The name stays the entry's text,
// so type-ahead finds it; it is never cut short, the horizontal scroll bar reaches its end.
class IndentDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem moved(option);
        moved.rect.setLeft(option.rect.left() + index.data(kIndentRole).toInt());
        QStyledItemDelegate::paint(painter, moved, index);
    }
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) +
               QSize(index.data(kIndentRole).toInt(), 0);
    }
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

QString parentOf(const QString& folder) {
    const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : folder.left(slash);
}

QString joinPath(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
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

FolderList::FolderList(QWidget* parent)
    : Control(new QListView(parent)), view_(static_cast<QListView*>(widget())),
      model_(new QStandardItemModel(view_)) {
    view_->setModel(model_);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setFocusPolicy(Qt::StrongFocus);
    view_->setAccessibleName(QStringLiteral("フォルダ一覧"));
    view_->setItemDelegate(new IndentDelegate(view_));
    view_->setTextElideMode(Qt::ElideNone);
    watchMouse(view_->viewport(), 1.0, 1.0, Release::PassOn);
    ignoreRightPress(view_->viewport());
    QObject::connect(view_, &QAbstractItemView::doubleClicked, view_,
                     [this](const QModelIndex& index) { openEntry(index.row()); });
    view_->viewport()->installEventFilter(new BeforePaint(view_, [this] { ensureBuilt(); }));
    view_->installEventFilter(new EnterFilter(view_, [this] {
        openEntry(view_->currentIndex().isValid() ? view_->currentIndex().row() : -1);
    }));
}

FolderList::~FolderList() {
    ListingHandoff::instance().forget(this);
}

QString FolderList::folderForDrive(const QString& root) const {
    const auto last = lastFolderOfDrive_.find(root);
    if (last != lastFolderOfDrive_.end()) {
        for (QString f = last->second; f != root && isUnder(f, root); f = parentOf(f)) {
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
    ensureBuilt();
    if (index < 0 || index >= model_->rowCount()) {
        return;
    }
    const QString folder = model_->item(index)->data(kPathRole).toString();
    runGuarded([&] {
        try {
            requireReadableFolder(folder);
        } catch (const RuntimeError& e) {
            if (e.number() == err::FileNotFound) {
                // Removed behind our back: show what is there now and stay.
                rebuild(std::nullopt);
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
    ListingHandoff::instance().awaitSubfolders(this, folder);
    if (!stale_) {
        stale_ = true;
        QTimer::singleShot(0, view_, [this] { ensureBuilt(); });
    }
}

void FolderList::ensureBuilt() const {
    if (stale_) {
        stale_ = false;
        rebuild(ListingHandoff::instance().takeSubfolders(this, path_));
    }
}

void FolderList::rebuild(std::optional<std::vector<QString>> subfolders) const {
    model_->clear();
    if (path_.isEmpty()) {
        return;
    }
    const QStyle* style = QApplication::style();
    const QIcon openIcon = style->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style->standardIcon(QStyle::SP_DirClosedIcon);
    const QString& root = root_;

    // The chain from the drive's root down to the open folder.
    QStringList chain;
    for (QString f = path_;; f = parentOf(f)) {
        chain.prepend(f);
        if (f == root || f == QLatin1String("/")) {
            break;
        }
    }
    // Two blanks a level; in a deep chain (a link loop reaches dozens of levels) less, so that
    // even the deepest name starts in the left half of the list.
    const auto deepest = static_cast<int>(chain.size());
    const int step = std::min(view_->fontMetrics().horizontalAdvance(QStringLiteral("  ")),
                              view_->viewport()->width() / 2 / deepest);
    int depth = 0;
    auto add = [&](const QString& folder, const QIcon& icon, int level) {
        const QString name =
            folder == chain.first() ? folder : folder.mid(folder.lastIndexOf(QLatin1Char('/')) + 1);
        QString shown = displayFileName(name);
        shown.replace(QLatin1Char('\n'), QChar(0x21B5));
        auto* item = new QStandardItem(icon, shown);
        item->setData(level * step, kIndentRole);
        item->setData(folder, kPathRole);
        item->setData(shown, Qt::AccessibleTextRole);
        model_->appendRow(item);
    };
    for (const QString& f : chain) {
        add(f, openIcon, depth++);
    }
    const int current = model_->rowCount() - 1;
    if (!subfolders) {
        try {
            subfolders = listSubfolders(path_);
        } catch (const RuntimeError&) {
            subfolders.emplace();
        }
    }
    for (const QString& name : *subfolders) {
        add(joinPath(path_, name), closedIcon, depth);
    }
    view_->setCurrentIndex(model_->index(current, 0));
}

std::int32_t FolderList::ListCount() const {
    ensureBuilt();
    return model_->rowCount();
}

QString FolderList::List(std::int32_t index) const {
    ensureBuilt();
    return index >= 0 && index < model_->rowCount()
               ? model_->item(index)->data(kPathRole).toString()
               : QString();
}

int FolderList::indentOf(std::int32_t index) const {
    ensureBuilt();
    return index >= 0 && index < model_->rowCount() ? model_->item(index)->data(kIndentRole).toInt()
                                                    : 0;
}

std::int32_t FolderList::ListIndex() const {
    ensureBuilt();
    return view_->currentIndex().isValid() ? view_->currentIndex().row() : -1;
}

} // namespace zelvia::rt
