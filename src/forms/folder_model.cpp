#include "forms/folder_model.h"

#include "core/native_path.h"
#include "core/runtime_error.h"
#include "forms/file_list_model.h"
#include "platform/fs/folder_listing.h"

#include <QApplication>
#include <QStandardItemModel>
#include <QStyle>
#include <QTimer>

namespace zelvia::rt {

namespace {

constexpr int kPathRole = Qt::UserRole + 1;
constexpr int kLevelRole = Qt::UserRole + 2;

QString joinPath(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

} // namespace

FolderModel::FolderModel(QObject* parent)
    : QObject(parent), files_(new FileListModel(this)), folders_(new QStandardItemModel(this)) {}

void FolderModel::setFileQuery(const QString& folder, const QString& pattern, ListFlags flags) {
    fileFolder_ = folder;
    pattern_ = pattern;
    flags_ = flags;
    markFilesOutOfDate();
}

void FolderModel::setOpenFolder(const QString& folder, const QString& root) {
    openFolder_ = folder;
    root_ = root;
    markFoldersOutOfDate();
}

void FolderModel::markFilesOutOfDate() {
    filesOutOfDate_ = true;
    scheduleUpdate();
}

void FolderModel::markFoldersOutOfDate() {
    foldersOutOfDate_ = true;
    scheduleUpdate();
}

void FolderModel::scheduleUpdate() {
    if (!updateScheduled_) {
        updateScheduled_ = true;
        QTimer::singleShot(0, this, [this] {
            updateScheduled_ = false;
            update();
        });
    }
}

void FolderModel::update() {
    const bool files = filesOutOfDate_;
    const bool folders = foldersOutOfDate_;
    if (!files && !folders) {
        return;
    }
    filesOutOfDate_ = false;
    foldersOutOfDate_ = false;
    std::vector<QString> names;
    std::vector<QString> subfolders;
    // A folder that cannot be read (no permission, medium gone, deleted while open) simply
    // lists nothing; the lists stay usable.
    try {
        if (files && folders && fileFolder_ == openFolder_ && !fileFolder_.isEmpty()) {
            FolderContents contents = listFolder(fileFolder_, pattern_, flags_);
            names = std::move(contents.files);
            subfolders = std::move(contents.subfolders);
        } else {
            if (files && !fileFolder_.isEmpty()) {
                names = listFiles(fileFolder_, pattern_, flags_);
            }
            if (folders && !openFolder_.isEmpty()) {
                try {
                    subfolders = listSubfolders(openFolder_);
                } catch (const RuntimeError&) {
                    subfolders.clear();
                }
            }
        }
    } catch (const RuntimeError&) {
        names.clear();
        subfolders.clear();
    }
    if (files) {
        ++fileListings_;
        files_->setNames(std::move(names));
        emit filesListed();
    }
    if (folders) {
        fillFolders(subfolders);
        emit foldersListed();
    }
}

void FolderModel::fillFolders(const std::vector<QString>& subfolders) {
    folders_->clear();
    openFolderRow_ = -1;
    if (openFolder_.isEmpty()) {
        return;
    }
    const QStyle* style = QApplication::style();
    const QIcon openIcon = style->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style->standardIcon(QStyle::SP_DirClosedIcon);

    // The chain from the drive's root down to the open folder.
    QStringList chain;
    for (QString f = openFolder_;; f = parentFolderOf(f)) {
        chain.prepend(f);
        if (f == root_ || f == QLatin1String("/")) {
            break;
        }
    }
    QList<QStandardItem*> rows;
    int depth = 0;
    auto add = [&](const QString& folder, const QIcon& icon, int level) {
        const QString name =
            folder == chain.first() ? folder : folder.mid(folder.lastIndexOf(QLatin1Char('/')) + 1);
        QString shown = displayFileName(name);
        shown.replace(QLatin1Char('\n'), QChar(0x21B5));
        // The name alone, so type-ahead finds it; the list's view indents it by its level.
        auto* item = new QStandardItem(icon, shown);
        item->setData(folder, kPathRole);
        item->setData(level, kLevelRole);
        item->setData(shown, Qt::AccessibleTextRole);
        rows.append(item);
    };
    for (const QString& f : chain) {
        add(f, openIcon, depth++);
    }
    openFolderRow_ = static_cast<int>(rows.size()) - 1;
    for (const QString& name : subfolders) {
        add(joinPath(openFolder_, name), closedIcon, depth);
    }
    folders_->invisibleRootItem()->appendRows(rows);
}

QString FolderModel::folderAt(int row) const {
    return row >= 0 && row < folders_->rowCount() ? folders_->item(row)->data(kPathRole).toString()
                                                  : QString();
}

int FolderModel::levelAt(int row) const {
    return row >= 0 && row < folders_->rowCount() ? folders_->item(row)->data(kLevelRole).toInt()
                                                  : 0;
}

int FolderModel::folderRow(const QString& folder) const {
    for (int row = 0; row < folders_->rowCount(); ++row) {
        if (folderAt(row) == folder) {
            return row;
        }
    }
    return -1;
}

} // namespace zelvia::rt
